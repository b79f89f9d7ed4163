#include "ui/plan_run.h"

#include <exception>
#include <utility>

namespace kuronel {

PlanRun::PlanRun(Session& session, ProcessingPlan plan, QObject* parent)
    : QObject(parent), session_(session), plan_(std::move(plan)) {}

PlanRun::~PlanRun() {
  if (!thread_.joinable()) return;
  RequestStop();
  thread_.join();
}

void PlanRun::Start() {
  if (thread_.joinable()) return;
  thread_ = std::thread([this] { Work(); });
}

void PlanRun::Work() {
  // Every call into the window's thread is queued: the worker never waits
  // for the window, and a call still queued when the run object goes is
  // dropped with it.
  RunObserver observer;
  observer.row_done = [this](std::size_t index, std::uint64_t bytes) {
    QMetaObject::invokeMethod(
        this,
        [this, index, row = plan_[index], bytes] {
          emit RowDone(static_cast<int>(index), row, bytes);
        },
        Qt::QueuedConnection);
  };
  observer.stop_requested = [this] { return stop_requested_.load(); };
  // The progress bar changes a few times a run; it is posted only then.
  std::string last_progress;
  const StatusSink progress = [this, &last_progress](const std::string& text) {
    if (text == last_progress) return;
    last_progress = text;
    QMetaObject::invokeMethod(
        this,
        [this, text = QString::fromStdString(text)] { emit Progress(text); },
        Qt::QueuedConnection);
  };
  try {
    refusal_ = session_.RunPlan(plan_, progress, observer).refusal;
  } catch (const std::exception& error) {
    // Nothing in the run throws for the disk's trouble; what does (memory)
    // ends the run where it is, and the window tells the user.
    error_ = error.what();
  }
  QMetaObject::invokeMethod(
      this,
      [this] {
        // The worker has returned; joining takes no time, and from here on
        // the plan is the window's thread's to read.
        thread_.join();
        emit Finished();
      },
      Qt::QueuedConnection);
}

}  // namespace kuronel
