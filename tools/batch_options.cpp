#include "tools/batch_options.h"

#include <string_view>

#include "platform/path.h"
#include "platform/system.h"

namespace kuronel {

namespace {

constexpr char kHelp[] =
    "usage: kuronel-batch [options] --dest DIR SOURCE...\n"
    "\n"
    "Puts the photos found in and below each SOURCE folder in order by date,\n"
    "as the Kuronel window's execute command does. Every file is catalogued;\n"
    "JPEG files (.jpg, .jpeg in any letter case) are the targets, with\n"
    "--movies also .avi, .mov and .mpg files (--raw-heif-mp4 adds more).\n"
    "The targets are handled in the order of their date: each is copied\n"
    "into a folder named after its day under DIR, under a name made of the\n"
    "day and a running suffix (DIR/2008_05_30/2008_05_30a0.jpg, ...a1.jpg,\n"
    "...), and the copy is made read-only. Nothing is ever overwritten: when\n"
    "a file is in the way, the copy goes to the first free numbered name\n"
    "(2008_05_30a01.jpg).\n"
    "The first SOURCE is opened and the others are added; a file found twice\n"
    "(also under another name: a link, \"..\", a second hard link) is handled\n"
    "once. With date folders, DIR and everything below it is left out of the\n"
    "SOURCE folders, so the copies of earlier runs are not copied again.\n"
    "\n"
    "options:\n"
    "  --dest DIR        the destination folder; required unless\n"
    "                    --no-date-folder is given (and then not used). A\n"
    "                    relative DIR is taken from the current directory.\n"
    "  --exif            date photos by their Exif shooting date (otherwise\n"
    "                    every file is dated by its modification time)\n"
    "  --movies          handle .avi, .mov and .mpg files as well\n"
    "  --raw-heif-mp4    handle RAW photos (.cr3 .cr2 .nef .arw .dng .raf\n"
    "                    .orf .rw2 .pef) and HEIF photos (.heic .hif) like\n"
    "                    JPEGs (with --exif, dated by their Exif date), and\n"
    "                    with --movies .mp4 .m4v .mts .m2ts .3gp movies\n"
    "                    (dated by their file time); the files of one\n"
    "                    shot (one folder, one name before the extension,\n"
    "                    times at most 10 seconds apart: IMG_0001.CR3 and\n"
    "                    IMG_0001.JPG) share one name, the first free for\n"
    "                    all of them\n"
    "  --skip-imported   do not copy a file whose equal copy (same length\n"
    "                    and bytes, any name) stood in its target folder\n"
    "                    before the run; its row reads 取込済. With --move\n"
    "                    its original goes once that file reads back\n"
    "                    from the drive equal to it\n"
    "  --no-date-folder  leave each file in its own folder\n"
    "  --no-rename       keep each file's name\n"
    "  --no-read-only    do not make the copies read-only\n"
    "  --move            delete each source file once a copy this run made\n"
    "                    is on disk and read back equal (by default the\n"
    "                    originals are kept)\n"
    "  --no-verify       do not read back the copies of kept originals (for\n"
    "                    drives you trust; a move still reads back each copy\n"
    "                    before it deletes the original)\n"
    "  --dry-run         print the plan and touch nothing\n"
    "  -h, --help        print this help\n"
    "  --version         print the name and version\n"
    "  --                end of options (for a SOURCE beginning with \"-\")\n"
    "\n"
    "With --no-date-folder and --no-rename, each file is copied to a numbered\n"
    "name in its own folder (IMG_0001.JPG to IMG_00011.JPG); if read-only is\n"
    "on as well, nothing is copied and each file itself is made read-only\n"
    "(with --move such a file then stays and reads DelError!).\n"
    "\n"
    "Standard output: first one line for each folder or file that could\n"
    "not be read (its files are not handled):\n"
    "  # cannot read PATH: REASON\n"
    "then one line per target file, in the order handled, each written as\n"
    "soon as its file is done:\n"
    "  SOURCE<TAB>TARGET<TAB>STATE<TAB>NEWPATH\n"
    "NEWPATH is the planned path. TARGET is where the run put the file:\n"
    "NEWPATH, or the numbered name it went to when NEWPATH was taken; it is\n"
    "empty when no copy was made (ReadOnly, file not found, DirError! and a\n"
    "failed copy). With --dry-run, TARGET is the planned path too. Paths are\n"
    "written as the bytes the file system holds, except that a backslash,\n"
    "TAB, line feed and carriage return in a name are written as \\\\, \\t,\n"
    "\\n and \\r. After the line of a row that failed, one line says why:\n"
    "  # STATE PATH: OPERATION: REASON\n"
    "for example \"# DirError! /x/2004_05_06: create folder: Permission\n"
    "denied\". A row's line is written once its file is on disk: each copy\n"
    "(its data and its folder entry) is flushed to the drive and read back\n"
    "from it before its row reads OK or Ok; a copy that reads back\n"
    "different is removed and reads CopyError! (\"verify: the copy read back\n"
    "differs from its source\").\n"
    "Then one summary line, the number of files and the count of each state\n"
    "that occurs, in the order of the list below:\n"
    "  # 13 files: 12 OK, 1 DelError!\n"
    "It reads \"# 0 files\" when there was nothing to do. The states:\n"
    "  未処理          to be processed (--dry-run)\n"
    "  重複            to be processed; a file already stands at NEWPATH\n"
    "                  (--dry-run)\n"
    "  OK              copied: on disk and read back equal (with\n"
    "                  --no-verify, on disk); in a move the source was\n"
    "                  kept, and a # line says why\n"
    "  Ok              copied, then the source deleted (--move), or moved\n"
    "                  by renaming it on the same drive\n"
    "  ReadOnly        the file itself was made read-only\n"
    "  取込済          not copied (--skip-imported): its equal copy was\n"
    "                  already there, at TARGET; in a move the source was\n"
    "                  deleted once it read back equal, or kept, with a #\n"
    "                  line that says why\n"
    "  CopyError!      the copy failed; the source is untouched\n"
    "  AttrError!      the copy exists but could not be made read-only;\n"
    "                  in a move its # line says if the source was deleted\n"
    "  DirError!       the date folder could not be created\n"
    "  DelError!       the source could not be deleted; its copy exists\n"
    "  file not found  the source file was gone, or its drive (its # line\n"
    "                  says which)\n"
    "\n"
    "When standard output cannot be written (a full disk, a closed pipe as\n"
    "in ... | head -1), the run stops after the files in hand, and the lines\n"
    "of those files that standard output did not take go to standard error,\n"
    "one each, in the same form. SIGINT (Ctrl-C) or SIGTERM stops a run the\n"
    "same way, every line on standard output (before the first file is\n"
    "touched it ends the program at once). Every file stays whole, and the\n"
    "files after those in hand are not touched.\n"
    "\n"
    "Standard error: progress while it is a terminal; messages and errors.\n"
    "\n"
    "Exit status: 0 when every file ended OK, Ok or ReadOnly with no # line\n"
    "(with --dry-run: when the plan was made), every folder could be read\n"
    "and standard output took every line; 1 when any file did not (a move\n"
    "that kept a source included), a folder or file could not be\n"
    "read or standard output could not be written; 2 on a usage error (an\n"
    "unknown option, no SOURCE, a SOURCE that is no folder, no --dest),\n"
    "when another Kuronel run is working on DIR or a SOURCE, or when the\n"
    "folder where runs register (/tmp/kuronel-runs-UID) is not the user's\n"
    "own and private; 130 (SIGINT) or 143 (SIGTERM) when a signal stopped\n"
    "the run.\n";

constexpr char kUsage[] =
    "usage: kuronel-batch [options] --dest DIR SOURCE...\n"
    "Try 'kuronel-batch --help' for more information.\n";

// The value of "--dest DIR" or "--dest=DIR" at args[i]; advances i past it.
bool TakeDestination(const std::vector<std::string>& args, size_t& i,
                     std::string& value, std::string& error) {
  const std::string& arg = args[i];
  if (arg.starts_with("--dest=")) {
    value = arg.substr(7);
  } else if (i + 1 < args.size()) {
    value = args[++i];
  } else {
    error = "--dest needs a folder";
    return false;
  }
  if (value.empty()) {
    error = "--dest needs a folder";
    return false;
  }
  return true;
}

// Sets the switch named by `arg`; false when there is no such switch.
bool TakeSwitch(std::string_view arg, BatchOptions& options) {
  Settings& settings = options.settings;
  if (arg == "--exif") {
    settings.UseExifDate = true;
  } else if (arg == "--movies") {
    settings.CheckMoviesByDefault = true;
  } else if (arg == "--raw-heif-mp4") {
    settings.IncludeRawHeifMp4 = true;
  } else if (arg == "--skip-imported") {
    settings.SkipImported = true;
  } else if (arg == "--no-date-folder") {
    settings.MoveToDateFolder = false;
  } else if (arg == "--no-rename") {
    settings.RenameToDateFile = false;
  } else if (arg == "--no-read-only") {
    settings.MakeReadOnly = false;
  } else if (arg == "--move") {
    settings.KeepOriginal = false;
  } else if (arg == "--dry-run") {
    options.dry_run = true;
  } else if (arg == "--no-verify") {
    options.verify_copies = false;
  } else {
    return false;
  }
  return true;
}

}  // namespace

const char* BatchHelpText() { return kHelp; }

const char* BatchUsageText() { return kUsage; }

std::string AbsolutePath(const std::string& path,
                         const std::string& current_directory) {
  std::string joined;
  if (path.starts_with('/')) {
    joined = path;
  } else {
    if (current_directory.empty()) return std::string();
    joined = current_directory + "/" + path;
  }
  std::string result;
  size_t start = 0;
  while (start <= joined.size()) {
    size_t end = joined.find('/', start);
    if (end == std::string::npos) end = joined.size();
    const std::string_view part(joined.data() + start, end - start);
    if (!part.empty() && part != ".") result.append("/").append(part);
    start = end + 1;
  }
  return result.empty() ? "/" : result;
}

bool ParseBatchArguments(const std::vector<std::string>& args,
                         const std::string& current_directory,
                         BatchOptions& options, std::string& error) {
  options = BatchOptions();
  for (const std::string& arg : args) {
    if (arg == "--") break;
    if (arg == "-h" || arg == "--help") {
      options.help = true;
      return true;
    }
    if (arg == "--version") {
      options.version = true;
      return true;
    }
  }
  std::string destination;
  std::vector<std::string> sources;
  bool options_ended = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    const bool is_option = !options_ended && arg.size() > 1 && arg[0] == '-';
    if (!is_option) {
      sources.push_back(arg);
    } else if (arg == "--") {
      options_ended = true;
    } else if (arg == "--dest" || arg.starts_with("--dest=")) {
      if (!TakeDestination(args, i, destination, error)) return false;
    } else if (!TakeSwitch(arg, options)) {
      error = "unknown option " + arg;
      return false;
    }
  }

  if (sources.empty()) {
    error = "no SOURCE folder given";
    return false;
  }
  if (destination.empty() && options.settings.MoveToDateFolder) {
    error = "--dest DIR is required (unless --no-date-folder is given)";
    return false;
  }
  for (const std::string& source : sources) {
    if (source.empty()) {
      error = "an empty SOURCE names no folder";
      return false;
    }
    options.sources.push_back(AbsolutePath(source, current_directory));
    if (options.sources.back().empty()) {
      error = "the current directory cannot be determined";
      return false;
    }
  }
  if (!destination.empty()) {
    // An empty result must never become the root "/".
    const std::string absolute = AbsolutePath(destination, current_directory);
    if (absolute.empty()) {
      error = "the current directory cannot be determined";
      return false;
    }
    options.settings.DestinationFolder = WithTrailingSeparator(absolute);
  }
  return true;
}

}  // namespace kuronel
