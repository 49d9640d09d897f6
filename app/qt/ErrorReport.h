#pragma once

#include <QString>

#include <functional>

class QWidget;

namespace kestivo {

// Shows a run-time error to the user and returns at once; dismissed runs
// once the user has dismissed it. The window uses a window-modal message
// box; tests substitute a recorder.
class ErrorReporter {
public:
    virtual ~ErrorReporter() = default;
    virtual void report(QWidget* parent, const QString& title, const QString& message,
                        std::function<void()> dismissed) = 0;
};

class MessageBoxReporter final : public ErrorReporter {
public:
    void report(QWidget* parent, const QString& title, const QString& message,
                std::function<void()> dismissed) override;
};

} // namespace kestivo
