#ifndef KURONEL_TESTING_FORWARDING_BATCH_H_
#define KURONEL_TESTING_FORWARDING_BATCH_H_

#include <memory>
#include <string>
#include <utility>

#include "platform/file_system.h"

namespace kuronel::testing {

// A copy batch that hands every call to the batch it wraps: the base of a
// test's batch that changes a call or two and forwards the rest. Folders
// are made as CopyBatch makes them, through the caller's file system (a
// fault-injecting disk counts them), and flushed at once.
class ForwardingBatch : public CopyBatch {
 public:
  explicit ForwardingBatch(std::unique_ptr<CopyBatch> wrapped)
      : wrapped_(std::move(wrapped)) {}

  Ticket Add(const std::string& source, const std::string& target,
             bool source_goes_next, const CopyProgress& progress) override {
    return wrapped_->Add(source, target, source_goes_next, progress);
  }
  const CopyResult& Result(Ticket ticket) const override {
    return wrapped_->Result(ticket);
  }
  void Finish() override { wrapped_->Finish(); }
  bool FinishesAside() const override { return wrapped_->FinishesAside(); }

 private:
  std::unique_ptr<CopyBatch> wrapped_;
};

}  // namespace kuronel::testing

#endif  // KURONEL_TESTING_FORWARDING_BATCH_H_
