#pragma once

#include <future>
#include <system_error>
#include <type_traits>
#include <utility>

namespace tarvidon {

/// work's result, computed on a thread of its own where one can be started,
/// else on the thread that asks for it (get()): where no thread can be had,
/// work that would have run side by side runs one after the other.
template <typename Work>
std::future<std::invoke_result_t<Work>> InBackground(Work work)
{
    try {
        return std::async(std::launch::async, work);
    } catch (const std::system_error &) {
        return std::async(std::launch::deferred, std::move(work));
    }
}

} // namespace tarvidon
