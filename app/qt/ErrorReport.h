#pragma once

#include <QString>

class QWidget;

namespace kestivo {

// Shows a run-time error to the user. The window uses a modal message box;
// tests substitute a recorder.
class ErrorReporter {
public:
    virtual ~ErrorReporter() = default;
    virtual void report(QWidget* parent, const QString& title, const QString& message) = 0;
};

class MessageBoxReporter final : public ErrorReporter {
public:
    void report(QWidget* parent, const QString& title, const QString& message) override;
};

} // namespace kestivo
