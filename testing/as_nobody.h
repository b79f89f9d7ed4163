#ifndef KURONEL_TESTING_AS_NOBODY_H_
#define KURONEL_TESTING_AS_NOBODY_H_

#include <sys/types.h>

#include <functional>
#include <string>

namespace kuronel::testing {

// The user and group a test becomes where permission bits must count.
inline constexpr uid_t kNobody = 65534;

// Runs `work` where permission bits count: for root in a forked child as the
// user nobody, for anybody else as is. Returns what `work` returned.
std::string AsNobody(const std::function<std::string()>& work);

}  // namespace kuronel::testing

#endif  // KURONEL_TESTING_AS_NOBODY_H_
