#include "qt/Form1.h"

#include "qt/Accessibility.h"
#include "qt/Canvas.h"
#include "qt/Fonts.h"
#include "qt/ShapeFrame.h"
#include "qt/TitleLabel.h"
#include "qt/VectorState.h"
#include "form/Commands.h"
#include "form/Layout.h"
#include "form/Texts.h"

#include <QAccessible>
#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPushButton>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <utility>

namespace kestivo {

namespace {
QString text(const char16_t* s)
{
    return QString::fromUtf16(s);
}

double nowMs()
{
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now().time_since_epoch()).count();
}
} // namespace

// Qt's logical pixel is 1/96 inch; a screen's own scale arrives as the
// device pixel ratio. X11 sends a held key's repeats as release and press
// pairs, which the session tells apart.
Form1::Form1(Options options) : layoutScale_(layout::kLogicalDpi)
{
    options.session.pairedKeyRepeats = true;
    session_ = std::make_unique<Session>(*this, devicePixelRatioF(), std::move(options.session));
    frames_.setTimerType(Qt::PreciseTimer);
    frames_.setSingleShot(true);
    connect(&frames_, &QTimer::timeout, this, &Form1::frame);

    setObjectName(QString::fromLatin1(layout::kFormName));
    installAccessibility();
    setWindowTitle(text(texts::kCaption));
    QPalette pal = palette();
    pal.setColor(QPalette::Window, QColor::fromRgb(kBackground.argb()));
    setPalette(pal);
    setAutoFillBackground(true);
    // The buttons take the window's font; the labels have their own.
    setFont(windowFont());
    const layout::Size client = layout::clientSize(layoutScale_);
    resize(client.width, client.height);

    canvas_ = new Canvas(this, session_->picture());
    canvas_->setGeometry(rect());
    canvas_->setAccessibleName(text(texts::kPictureName));
    canvas_->onRescale = [this](double ratio) { session_->rescale(ratio); };
    addControls();
    button(layout::kCmdHwbk)->setFocus(Qt::OtherFocusReason);
    // Which button Space will click is always shown, from the start and
    // after a click as after Tab. (Qt's styles otherwise show the focus only
    // once the keyboard has moved it.)
    setAttribute(Qt::WA_KeyboardFocusChange);
    qApp->installEventFilter(this);
}

Form1::~Form1()
{
    qApp->removeEventFilter(this);
    if (session_->busy()) // gone mid-drawing: the cursor is the application's
        QApplication::restoreOverrideCursor();
}

// The layout table's controls: the picture at the bottom, the frame over
// it, the controls on top.
void Form1::addControls()
{
    const auto px = [this](int twips) { return layoutScale_.toPixels(twips); };
    for (const layout::Control& c : layout::kControls) {
        QWidget* widget = nullptr;
        switch (c.kind) {
        case layout::Kind::CommandButton: {
            auto* b = new QPushButton(text(c.text), this);
            b->setAutoDefault(false);
            b->setFocusPolicy(Qt::StrongFocus);
            b->setAccessibleDescription(text(findCommand(c.name)->help));
            connect(b, &QPushButton::clicked, this, [this, name = c.name] {
                clearUpperVectorState(); // the routine runs now: see VectorState.h
                session_->click(name);
            });
            widget = b;
            break;
        }
        case layout::Kind::Label: {
            auto* l = new TitleLabel(text(c.text), this);
            l->setFont(labelFont(c.pointSize));
            l->setAutoFillBackground(true);
            QPalette lp = l->palette();
            lp.setColor(QPalette::Window, QColor::fromRgb(layout::kBlack.argb()));
            lp.setColor(QPalette::WindowText, QColor::fromRgb(c.foreColour.argb()));
            l->setPalette(lp);
            widget = l;
            break;
        }
        case layout::Kind::Shape:
            shape_ = new ShapeFrame(this, QColor::fromRgb(c.foreColour.argb()));
            widget = shape_;
            break;
        }
        widget->setObjectName(QString::fromLatin1(c.name));
        widget->setGeometry(px(c.left), px(c.top), px(c.width), px(c.height));
    }
    shape_->lower();
    canvas_->lower();
}

QPushButton* Form1::button(const char* name) const
{
    return findChild<QPushButton*>(QString::fromLatin1(name), Qt::FindDirectChildrenOnly);
}

QLabel* Form1::label(const char* name) const
{
    return findChild<QLabel*>(QString::fromLatin1(name), Qt::FindDirectChildrenOnly);
}

void Form1::present(const DirtyRegion& dirty)
{
    canvas_->present(dirty);
}

void Form1::showBusy(bool busy)
{
    if (busy) {
        requireHeadroom();
        QApplication::setOverrideCursor(Qt::WaitCursor);
    } else {
        QApplication::restoreOverrideCursor();
    }
    // Screen readers: the window busy, the buttons not sensitive, and once
    // done, what the picture now shows (read from the session when asked).
    // With none listening, Qt's accessibility cache, which does not survive
    // memory running out, is left alone.
    if (!QAccessible::isActive())
        return;
    QAccessible::State windowChange;
    windowChange.busy = true;
    QAccessibleStateChangeEvent windowEvent(this, windowChange);
    QAccessible::updateAccessibility(&windowEvent);
    QAccessible::State buttonChange;
    buttonChange.disabled = true;
    for (const layout::Control* c : layout::kTabOrder) {
        QAccessibleStateChangeEvent buttonEvent(button(c->name), buttonChange);
        QAccessible::updateAccessibility(&buttonEvent);
    }
    if (!busy) {
        QAccessibleEvent described(canvas_, QAccessible::DescriptionChanged);
        QAccessible::updateAccessibility(&described);
    }
}

// open(), not exec(): the program's one event loop goes on meanwhile.
void Form1::reportError(const std::string& title, const std::string& message)
{
    requireHeadroom(); // a message box is many allocations, none checked
    auto* box = new QMessageBox(QMessageBox::Critical, QString::fromStdString(title),
                                QString::fromStdString(message), QMessageBox::Ok, this);
    box->setAttribute(Qt::WA_DeleteOnClose);
    connect(box, &QDialog::finished, this, [this] { session_->errorDismissed(); });
    box->open();
}

void Form1::exit(int status)
{
    QCoreApplication::exit(status);
    hide();
}

void Form1::runFrames(bool on)
{
    framesWanted_ = on;
    if (!on) {
        frames_.stop();
    } else if (!frames_.isActive()) {
        grid_.start(nowMs() + Pace::kFrameMs);
        frames_.start(kFrameIntervalMs);
    }
}

void Form1::frame()
{
    const double now = nowMs();
    session_->frame(now);
    if (!framesWanted_ || frames_.isActive())
        return;
    frames_.start(int(std::lround(grid_.next(now)))); // a QTimer counts whole milliseconds
}

// The monotonic clock is the steady clock's on Linux.
std::uint32_t Form1::monotonicMs()
{
    return std::uint32_t(std::int64_t(nowMs()));
}

const char* Form1::focusedButton() const
{
    const QWidget* focus = QApplication::focusWidget();
    for (const layout::Control* c : layout::kTabOrder)
        if (button(c->name) == focus)
            return c->name;
    return nullptr;
}

// A key's events are judged once, at their first receiver: a button, which
// are all that take the focus here, or the window itself when none has it.
// (A button's unwanted key goes on to the window, and is not judged again.)
bool Form1::key(QObject* watched, const QKeyEvent* event)
{
    const auto* widget = qobject_cast<QWidget*>(watched);
    if (!widget || widget->window() != this)
        return false;
    const QWidget* focus = QApplication::focusWidget();
    if (!qobject_cast<const QPushButton*>(widget) && !(widget == this && (!focus || focus->window() != this)))
        return false;
    using Key = KeyEvent::Key;
    const int code = event->key() == Qt::Key_Backtab ? int(Qt::Key_Tab) : event->key();
    const Qt::KeyboardModifiers modifiers = event->modifiers();
    const KeyEvent e{
        .key = code == Qt::Key_Tab                                ? Key::Tab
               : code == Qt::Key_Space                            ? Key::Space
               : code == Qt::Key_Return || code == Qt::Key_Enter ? Key::Enter
                                                                  : Key::Other,
        .code = code,
        .pressed = event->type() == QEvent::KeyPress,
        .flaggedRepeat = event->isAutoRepeat(),
        .shift = event->key() == Qt::Key_Backtab || modifiers.testFlag(Qt::ShiftModifier),
        .otherModifiers = (modifiers & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) != 0,
        .stamp = event->timestamp(),
    };
    if (e.pressed && heldBack_.erase(code))
        perform(session_->settleKey(code, e.stamp, focusedButton()));
    const KeyAction action = session_->key(e, focusedButton());
    if (action.what == KeyAction::Do::HoldBack) {
        const unsigned hold = heldBack_[code] = ++holds_;
        QTimer::singleShot(Keyboard::kSettleMs, this, [this, code, hold] {
            const auto held = heldBack_.find(code);
            if (held != heldBack_.end() && held->second == hold) {
                heldBack_.erase(held);
                perform(session_->settleKey(code, std::nullopt, focusedButton()));
            }
        });
    }
    // Qt's buttons have rules of their own for Space and Enter, with any
    // modifier: the form's keys never reach them.
    return perform(action) || e.key != Key::Other;
}

// Whether the key was the form's.
bool Form1::perform(KeyAction action)
{
    using Do = KeyAction::Do;
    if (action.what == Do::Pass)
        return false;
    if (QPushButton* b = action.button ? button(action.button) : nullptr) {
        if (action.what == Do::Focus)
            b->setFocus(Qt::TabFocusReason);
        else
            b->setDown(action.what == Do::Press);
        if (action.what == Do::Click)
            b->click(); // its clicked signal is the session's click
    }
    return true;
}

namespace {
bool isUserInput(QEvent::Type type)
{
    static constexpr QEvent::Type kInput[] = {
        QEvent::MouseButtonPress, QEvent::MouseButtonRelease, QEvent::MouseButtonDblClick,
        QEvent::KeyPress,         QEvent::KeyRelease,         QEvent::ShortcutOverride,
        QEvent::Shortcut,         QEvent::Wheel,              QEvent::ContextMenu,
        QEvent::TouchBegin,       QEvent::TouchUpdate,        QEvent::TouchEnd,
        QEvent::TabletPress,      QEvent::TabletRelease,
    };
    return std::find(std::begin(kInput), std::end(kInput), type) != std::end(kInput);
}
} // namespace

bool Form1::eventFilter(QObject* watched, QEvent* event)
{
    const QEvent::Type type = event->type();
    if (type == QEvent::FocusIn && watched != this && qobject_cast<QWidget*>(watched) &&
        static_cast<QWidget*>(watched)->window() == this)
        setAttribute(Qt::WA_KeyboardFocusChange); // the focus stays shown
    if (type == QEvent::WindowDeactivate && watched == this) {
        heldBack_.clear();
        session_->keyboardLost();
    }
    if ((type == QEvent::KeyPress || type == QEvent::KeyRelease) && key(watched, static_cast<QKeyEvent*>(event)))
        return true;
    if (isUserInput(type)) {
        std::optional<std::uint64_t> stamp;
        if (const auto* input = dynamic_cast<const QInputEvent*>(event))
            stamp = input->timestamp();
        if (session_->discardsInput(stamp))
            return true;
    }
    return QWidget::eventFilter(watched, event);
}

void Form1::closeEvent(QCloseEvent* event)
{
    if (!session_->requestClose()) {
        event->ignore();
        return;
    }
    QWidget::closeEvent(event);
}

void Form1::resizeEvent(QResizeEvent* event)
{
    try {
        canvas_->setGeometry(rect());
    } catch (...) {
        session_->fail(std::current_exception());
    }
    QWidget::resizeEvent(event);
}

} // namespace kestivo
