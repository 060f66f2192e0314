#include "forms/PointerHider.h"

#include <QApplication>
#include <QMenu>
#include <QMouseEvent>
#include <QWindow>

#include <gtest/gtest.h>

#include <memory>

namespace lmvo {
namespace {

enum class Step { Move, MoveInPlace, Idle, Press, Block, Unblock, OpenMenu, CloseMenu, HideWindow };

struct Expect {
    Step step;
    bool hidden;
    bool counting;
};

// One show's life, step by step: what the user does and what the pointer must then be.
TEST(PointerHider, HidesWhileStillAndStaysWhileABoxOrMenuIsOpen)
{
    QWidget window;
    window.resize(320, 240);
    auto* hider = new PointerHider(&window);
    window.show();
    ASSERT_TRUE(hider->pointerHidden()) << "hidden as the show appears";
    QMenu menu;
    menu.addAction(QStringLiteral("x"));
    QPointF at(10, 10);
    const auto send = [&](QObject* to, QEvent::Type type, QPointF where) {
        QMouseEvent e(type, where, where, where, Qt::NoButton, Qt::NoButton, Qt::NoModifier);
        QCoreApplication::sendEvent(to, &e);
    };

    const Expect steps[] = {
        {Step::Move, false, true},        {Step::Idle, true, false},
        {Step::MoveInPlace, true, false}, {Step::Move, false, true},
        {Step::Idle, true, false},        {Step::Press, false, true},
        {Step::Block, false, false},      {Step::Idle, false, false},
        {Step::Move, false, false},       {Step::Unblock, false, true},
        {Step::Idle, true, false},        {Step::OpenMenu, true, false},
        {Step::Move, false, true},        {Step::Idle, false, true},
        {Step::CloseMenu, false, true},   {Step::Idle, true, false},
        {Step::HideWindow, false, false},
    };
    int n = 0;
    for (const Expect& s : steps) {
        switch (s.step) {
        case Step::Move:
            at += QPointF(5, 3);
            send(window.windowHandle(), QEvent::MouseMove, at);
            break;
        case Step::MoveInPlace: send(window.windowHandle(), QEvent::MouseMove, at); break;
        case Step::Idle: hider->idle(); break;
        case Step::Press: send(&window, QEvent::MouseButtonPress, at); break;
        case Step::Block: {
            QEvent e(QEvent::WindowBlocked);
            QCoreApplication::sendEvent(&window, &e);
            break;
        }
        case Step::Unblock: {
            QEvent e(QEvent::WindowUnblocked);
            QCoreApplication::sendEvent(&window, &e);
            break;
        }
        case Step::OpenMenu: menu.popup(QPoint(20, 20)); break;
        case Step::CloseMenu: menu.hide(); break;
        case Step::HideWindow: window.hide(); break;
        }
        EXPECT_EQ(hider->pointerHidden(), s.hidden) << "step " << n;
        EXPECT_EQ(hider->counting(), s.counting) << "step " << n;
        EXPECT_EQ(window.cursor().shape() == Qt::BlankCursor, s.hidden) << "step " << n;
        ++n;
    }
}

TEST(PointerHider, GivesBackTheWindowsOwnPointer)
{
    QWidget window;
    window.setCursor(Qt::CrossCursor);
    auto* hider = new PointerHider(&window);
    window.show();
    EXPECT_EQ(window.cursor().shape(), Qt::BlankCursor);
    QMouseEvent move(QEvent::MouseMove, QPointF(1, 1), QPointF(1, 1), QPointF(1, 1), Qt::NoButton,
                     Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(window.windowHandle(), &move);
    EXPECT_FALSE(hider->pointerHidden());
    EXPECT_EQ(window.cursor().shape(), Qt::CrossCursor);
}

} // namespace
} // namespace lmvo
