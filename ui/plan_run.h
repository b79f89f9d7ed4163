#ifndef KURONEL_UI_PLAN_RUN_H_
#define KURONEL_UI_PLAN_RUN_H_

#include <QObject>
#include <QString>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>
#include <thread>

#include "processing/new_name_plan.h"
#include "processing/session.h"

namespace kuronel {

// One run of a plan on a thread of its own, so that the window that shows
// it keeps repainting and can stop it while copies are written, flushed and
// read back. The thread works on its own copy of the plan; each row's
// outcome, the progress texts and the end reach the object's thread (the
// window's) as queued calls, and the signals below are emitted there.
// Meanwhile the window must not touch the session.
class PlanRun : public QObject {
  Q_OBJECT

 public:
  // `session` outlives the run; the run takes its locks
  // (Session::RunPlan).
  PlanRun(Session& session, ProcessingPlan plan, QObject* parent = nullptr);
  // A run still going is asked to stop and waited for: the rows in hand are
  // finished, the rest are not begun.
  ~PlanRun() override;
  PlanRun(const PlanRun&) = delete;
  PlanRun& operator=(const PlanRun&) = delete;

  void Start();
  // The run ends after the rows in hand; those not begun stay as planned.
  void RequestStop() { stop_requested_ = true; }
  bool StopRequested() const { return stop_requested_; }
  // After Finished: the plan with every row's outcome.
  const ProcessingPlan& Plan() const { return plan_; }
  // After Finished: the message of an error that ended the run early (a
  // lack of memory), or empty.
  const std::string& Error() const { return error_; }
  // After Finished: why the run was refused before it touched a file, or
  // kNone.
  const LockRefusal& Refusal() const { return refusal_; }

 signals:
  // Row `row` is done, in its final state; its copy wrote `bytes_copied`.
  void RowDone(int row, const kuronel::PlanRow& outcome, quint64 bytes_copied);
  // The run's progress text (■■■□□□□□□□実行中).
  void Progress(const QString& text);
  void Finished();

 private:
  void Work();

  Session& session_;
  ProcessingPlan plan_;  // the worker's while it runs
  std::string error_;
  LockRefusal refusal_;
  std::atomic<bool> stop_requested_{false};
  std::thread thread_;
};

}  // namespace kuronel

#endif  // KURONEL_UI_PLAN_RUN_H_
