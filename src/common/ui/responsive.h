#pragma once

#include "common/ui/inputblocker.h"

#include <QEventLoop>
#include <QThread>
#include <atomic>
#include <exception>
#include <optional>
#include <type_traits>

// Runs a blocking piece of work (a request to the service) on a worker thread while the calling
// thread keeps processing its events, so windows repaint and take a close request meanwhile.
// User input is dropped while waiting (see InputBlocker). Returns the work's result, or rethrows
// what it threw, on the calling thread.
//
// `abort` is the flag the work's request watches (HttpRequest::setAbortFlag). When the wait
// ends early because the program is quitting (QCoreApplication::quit ends every event loop),
// the flag is raised so the work ends at once instead of holding the program until its time-out.
template <typename Work>
auto runResponsive(Work&& work, std::atomic<bool>* abort = nullptr, QObject* escapeWindow = nullptr)
    -> std::invoke_result_t<Work>
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
    {
        const InputBlocker blocker(escapeWindow);
        QEventLoop loop;
        QObject::connect(worker, &QThread::finished, &loop, &QEventLoop::quit);
        worker->start();
        loop.exec();
    }
    if (!worker->isFinished() && abort != nullptr)
        abort->store(true);
    worker->wait();
    delete worker;
    if (failure)
        std::rethrow_exception(failure);
    if constexpr (!std::is_void_v<Result>)
        return std::move(*result);
}
