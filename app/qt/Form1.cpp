#include "qt/Form1.h"

#include "qt/Accessibility.h"
#include "qt/Canvas.h"
#include "qt/ErrorReport.h"
#include "qt/Fonts.h"
#include "qt/ShapeFrame.h"
#include "qt/TitleLabel.h"
#include "qt/VectorState.h"
#include "session/Commands.h"
#include "session/Layout.h"
#include "session/Texts.h"

#include <QAccessible>
#include <QApplication>
#include <QCloseEvent>
#include <QEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <utility>
#include <vector>

namespace kestivo {

namespace {
QString text(const char16_t* s)
{
    return QString::fromUtf16(s);
}

QColor colour(Rgb c)
{
    return QColor::fromRgb(c.argb());
}
} // namespace

Form1::Form1() : Form1(Options{}) {}

// Qt's logical pixel is 1/96 inch; a screen's own scale arrives as the
// device pixel ratio.
Form1::Form1(Options options) : options_(std::move(options)), layoutScale_(layout::kLogicalDpi)
{
    if (!options_.reporter) {
        ownReporter_ = std::make_unique<MessageBoxReporter>();
        options_.reporter = ownReporter_.get();
    }
    if (!options_.exit)
        options_.exit = [](int status) { QCoreApplication::exit(status); };
    session_ = std::make_unique<Session>(*this, devicePixelRatioF(), std::move(options_.session));
    frames_.setTimerType(Qt::PreciseTimer);
    frames_.setSingleShot(true);
    connect(&frames_, &QTimer::timeout, this, &Form1::frame);

    setObjectName(QString::fromLatin1(layout::kFormName));
    installAccessibility();
    build();
    qApp->installEventFilter(this);
}

Form1::~Form1()
{
    qApp->removeEventFilter(this);
    if (session_->busy()) // gone mid-drawing: the cursor is the application's
        QApplication::restoreOverrideCursor();
}

void Form1::build()
{
    setWindowTitle(text(texts::kCaption));
    QPalette pal = palette();
    pal.setColor(QPalette::Window, colour(kBackground));
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
    connectCommands();
    button(layout::kCmdHwbk)->setFocus(Qt::OtherFocusReason);
    showFocus();
}

// The layout table's controls, in its tab order; the picture at the bottom,
// the frame over it, the controls on top.
void Form1::addControls()
{
    const auto px = [this](int twips) { return layoutScale_.toPixels(twips); };
    std::vector<std::pair<int, QWidget*>> tabOrder;
    for (const layout::Control& c : layout::kControls) {
        QWidget* widget = nullptr;
        switch (c.kind) {
        case layout::Kind::CommandButton: {
            auto* b = new QPushButton(text(c.text), this);
            b->setAutoDefault(false);
            b->setFocusPolicy(Qt::StrongFocus);
            tabOrder.emplace_back(c.tabIndex, b);
            widget = b;
            break;
        }
        case layout::Kind::Label: {
            auto* l = new TitleLabel(text(c.text), this);
            l->setFont(labelFont(c.pointSize));
            l->setAutoFillBackground(true);
            QPalette lp = l->palette();
            lp.setColor(QPalette::Window, colour(layout::kBlack));
            lp.setColor(QPalette::WindowText, colour(c.foreColour));
            l->setPalette(lp);
            l->setFocusPolicy(Qt::NoFocus);
            widget = l;
            break;
        }
        case layout::Kind::Shape:
            shape_ = new ShapeFrame(this, colour(c.foreColour));
            widget = shape_;
            break;
        }
        widget->setObjectName(QString::fromLatin1(c.name));
        widget->setGeometry(px(c.left), px(c.top), px(c.width), px(c.height));
    }
    shape_->lower();
    canvas_->lower();

    std::sort(tabOrder.begin(), tabOrder.end(),
              [](const auto& a, const auto& b) { return a.first < b.first; });
    for (std::size_t i = 1; i < tabOrder.size(); ++i)
        QWidget::setTabOrder(tabOrder[i - 1].second, tabOrder[i].second);
}

void Form1::connectCommands()
{
    for (const Command& command : kCommands) {
        QPushButton* b = button(command.button);
        b->setAccessibleDescription(text(command.help));
        connect(b, &QPushButton::clicked, this, [this, name = command.button] {
            clearUpperVectorState(); // the routine runs now: see VectorState.h
            session_->click(name);
        });
    }
}

// The picture's description is the session's, read when asked for.
void Form1::describePicture()
{
    QAccessibleEvent changed(canvas_, QAccessible::DescriptionChanged);
    QAccessible::updateAccessibility(&changed);
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
    // done, what the picture now shows. (With none listening, Qt's
    // accessibility cache, which does not survive memory running out, is
    // left alone.)
    if (!QAccessible::isActive())
        return;
    QAccessible::State windowChange;
    windowChange.busy = true;
    QAccessibleStateChangeEvent windowEvent(this, windowChange);
    QAccessible::updateAccessibility(&windowEvent);
    QAccessible::State buttonChange;
    buttonChange.disabled = true;
    for (const Command& command : kCommands) {
        QAccessibleStateChangeEvent buttonEvent(button(command.button), buttonChange);
        QAccessible::updateAccessibility(&buttonEvent);
    }
    if (!busy)
        describePicture();
}

void Form1::reportError(const std::string& title, const std::string& message)
{
    requireHeadroom(); // a message box is many allocations, none checked
    options_.reporter->report(this, QString::fromStdString(title), QString::fromStdString(message),
                              [this] { session_->errorDismissed(); });
}

void Form1::exit(int status)
{
    options_.exit(status);
    hide();
}

namespace {
double nowMs()
{
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now().time_since_epoch()).count();
}
} // namespace

void Form1::runFrames(bool on)
{
    framesWanted_ = on;
    if (!on) {
        frames_.stop();
    } else if (!frames_.isActive()) {
        nextFrameMs_ = nowMs() + Pace::kFrameMs; // when the first is due
        frames_.start(kFrameIntervalMs);
    }
}

void Form1::frame()
{
    clearUpperVectorState(); // see VectorState.h: a frame sets points
    const double now = nowMs();
    session_->frame(now);
    if (!framesWanted_ || frames_.isActive())
        return;
    // A QTimer counts whole milliseconds: each frame is set for the next
    // point of a grid a sixtieth of a second apart, so that they come 60 a
    // second; a frame or more behind it, the grid starts again from now.
    nextFrameMs_ += Pace::kFrameMs;
    if (nextFrameMs_ < now)
        nextFrameMs_ = now + Pace::kFrameMs;
    frames_.start(int(std::lround(nextFrameMs_ - now)));
}

// The monotonic clock is the steady clock's on Linux.
std::uint32_t Form1::monotonicMs()
{
    return std::uint32_t(std::int64_t(nowMs()));
}

namespace {
bool isUserInput(QEvent::Type type)
{
    switch (type) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::Shortcut:
    case QEvent::Wheel:
    case QEvent::ContextMenu:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::TabletPress:
    case QEvent::TabletRelease:
        return true;
    default:
        return false;
    }
}
} // namespace

// A key's events are judged once, at their first receiver: a button, which
// are all that take the focus here, or the window itself when none has it.
// (A button's unwanted key goes on to the window, and is not judged again.)
bool Form1::filterKey(QObject* watched, QKeyEvent* event)
{
    const auto* widget = qobject_cast<QWidget*>(watched);
    if (event == redelivered_ || !widget || widget->window() != this)
        return false;
    const QWidget* focus = QApplication::focusWidget();
    if (!qobject_cast<const QPushButton*>(widget) && !(widget == this && (!focus || focus->window() != this)))
        return false;
    const int key = event->key();
    HeldKeys::Verdict verdict;
    if (event->type() == QEvent::KeyPress) {
        settleRelease(key, std::uint32_t(event->timestamp()));
        verdict = keys_.press(key, event->isAutoRepeat(), session_->discardsInput(event->timestamp()));
    } else {
        verdict = keys_.release(key, std::uint32_t(event->timestamp()), event->isAutoRepeat(),
                                session_->discardsInput(event->timestamp()));
    }
    if (verdict == HeldKeys::Verdict::HoldBack) {
        // X11 sends a repeat as a release and a press at one stamp, which
        // may reach the program a few milliseconds apart.
        constexpr int kSettleMs = 30;
        heldReleases_[key] = {watched, std::unique_ptr<QKeyEvent>(event->clone())};
        QTimer::singleShot(kSettleMs, this, [this, key] { settleRelease(key, std::nullopt); });
    }
    return verdict != HeldKeys::Verdict::Deliver;
}

// Which button Space will click is always shown, from the start and after
// a click as after Tab. (Qt's styles otherwise show the focus only once the
// keyboard has moved it.)
void Form1::showFocus()
{
    setAttribute(Qt::WA_KeyboardFocusChange);
}

bool Form1::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::FocusIn && watched != this && qobject_cast<QWidget*>(watched) &&
        static_cast<QWidget*>(watched)->window() == this)
        showFocus();
    if (event->type() == QEvent::WindowDeactivate && watched == this)
        keys_.clear(); // no key is held any more
    if ((event->type() == QEvent::KeyPress || event->type() == QEvent::KeyRelease) &&
        filterKey(watched, static_cast<QKeyEvent*>(event)))
        return true;
    if (isUserInput(event->type())) {
        std::optional<std::uint64_t> stamp;
        if (const auto* input = dynamic_cast<const QInputEvent*>(event))
            stamp = input->timestamp();
        if (session_->discardsInput(stamp))
            return true;
    }
    return QWidget::eventFilter(watched, event);
}

void Form1::settleRelease(int key, std::optional<std::uint32_t> pressStamp)
{
    const auto it = heldReleases_.find(key);
    if (it == heldReleases_.end())
        return;
    const HeldRelease held = std::move(it->second);
    heldReleases_.erase(it);
    if (!keys_.settle(key, pressStamp) || !held.target)
        return;
    // Its click may run a routine, whose own key events are judged as usual.
    redelivered_ = held.event.get();
    QCoreApplication::sendEvent(held.target, held.event.get());
    redelivered_ = nullptr;
}

void Form1::closeEvent(QCloseEvent* event)
{
    if (!session_->requestClose()) {
        event->ignore();
        return;
    }
    QWidget::closeEvent(event);
}

// As on the original platform, Enter clicks the focused button as Space
// does. (QPushButton only answers Enter as a dialog's default button.)
void Form1::keyPressEvent(QKeyEvent* event)
{
    // A held key's repeats are not clicks, as QPushButton treats Space.
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) &&
        (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
        if (event->isAutoRepeat())
            return;
        if (auto* b = qobject_cast<QPushButton*>(focusWidget())) {
            b->click();
            return;
        }
    }
    QWidget::keyPressEvent(event);
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
