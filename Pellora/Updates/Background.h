#pragma once

#include <exception>
#include <optional>
#include <type_traits>
#include <utility>

#include <QtConcurrent/QtConcurrentRun>
#include <QCoro/QCoroFuture>
#include <QCoro/QCoroTask>

namespace pellora {

// Runs `work` on a worker thread and resumes the awaiting coroutine on its own thread with
// the result, or rethrows there what `work` threw. `work` must not touch main-thread state.
template <class Work> auto inBackground(Work work) -> QCoro::Task<std::invoke_result_t<Work&>> {
    using Result = std::invoke_result_t<Work&>;
    struct Outcome {
        std::optional<Result> value;
        std::exception_ptr error;
    };
    // A named future: GCC 12 mishandles temporaries inside a co_await expression.
    QFuture<Outcome> future = QtConcurrent::run([work = std::move(work)]() mutable {
        Outcome result;
        try {
            result.value.emplace(work());
        } catch (...) {
            result.error = std::current_exception();
        }
        return result;
    });
    Outcome outcome = co_await future;
    if (outcome.error)
        std::rethrow_exception(outcome.error);
    co_return std::move(*outcome.value);
}

} // namespace pellora
