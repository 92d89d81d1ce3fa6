#pragma once

#include <QEventLoop>
#include <QThread>
#include <exception>
#include <optional>
#include <type_traits>

// Runs a blocking piece of work (a request to the service) on a worker thread while the calling
// thread keeps processing its events, so windows repaint and take a close request meanwhile.
// Returns the work's result, or rethrows what it threw, on the calling thread.
template <typename Work>
auto runResponsive(Work&& work) -> std::invoke_result_t<Work>
{
    using Result = std::invoke_result_t<Work>;
    std::exception_ptr failure;
    std::conditional_t<std::is_void_v<Result>, bool, std::optional<Result>> result{};
    QThread* worker = QThread::create([&] {
        try {
            if constexpr (std::is_void_v<Result>)
                work();
            else
                result.emplace(work());
        } catch (...) {
            failure = std::current_exception();
        }
    });
    QEventLoop loop;
    QObject::connect(worker, &QThread::finished, &loop, &QEventLoop::quit);
    worker->start();
    // User input is held back while waiting: one window must not start a second request.
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    worker->wait();
    delete worker;
    if (failure)
        std::rethrow_exception(failure);
    if constexpr (!std::is_void_v<Result>)
        return std::move(*result);
}
