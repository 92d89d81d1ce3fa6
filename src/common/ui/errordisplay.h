#pragma once

#include "common/error.h"

#include <QString>
#include <exception>
#include <new>

// The application's default error display: a message box with the error icon, captioned with the
// application's title, showing the message with the full-stop rule. The program then goes on.
void showDefaultError(const QString& message);

// Runs a handler and hands anything it throws to the default error display, so that no error
// escapes into Qt's event loop.
template <typename Handler>
void guarded(Handler&& handler)
{
    try {
        handler();
    } catch (const racr::Error& error) {
        showDefaultError(error.message());
    } catch (const racr::Cancelled&) {
        // The user's own stop is no error to show.
    } catch (const std::bad_alloc&) {
        showDefaultError(QStringLiteral("Out of memory: the action was stopped. Close other programs and try again"));
    } catch (const std::exception& error) {
        showDefaultError(QString::fromLocal8Bit(error.what()));
    }
}
