"""What a screen reader finds in the window, before, during and after a
pattern is drawn, through AT-SPI (run by with-display.sh atspi).

    check_accessibility.py PROGRAM

Prints the accessible tree at each stage; exits 1 on the first wrong thing.
"""

import os
import subprocess
import sys
import time

import pyatspi

CAPTION = "VB 图形程序设计 QuarnholtTavisko 2007.1."
BUTTONS = ["花纹边框", "花纹椭圆", "四个小窗", "清除", "退出"]
LABELS = ["Visual Basic", "图形程序设计", "程序设计：Tavisko", "2007.1."]


def fail(message):
    print("FAIL:", message)
    sys.exit(1)


def wait_for(what, condition, seconds=20):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        value = condition()
        if value:
            return value
        time.sleep(0.05)
    fail("timed out waiting for " + what)


def find_app():
    desktop = pyatspi.Registry.getDesktop(0)
    for i in range(desktop.childCount):
        app = desktop.getChildAtIndex(i)
        if app is not None and app.name == "Kestivo1":
            return app
    return None


def descendants(node):
    for i in range(node.childCount):
        child = node.getChildAtIndex(i)
        if child is None:
            continue
        yield child
        yield from descendants(child)


def states(node):
    return node.getState()


def show(frame, stage):
    print("-- " + stage)
    print("%s %r busy=%s" % (frame.getRoleName(), frame.name,
                             states(frame).contains(pyatspi.STATE_BUSY)))
    for node in descendants(frame):
        s = states(node)
        print("  %s %r %r sensitive=%s actions=%d" % (
            node.getRoleName(), node.name, node.description,
            s.contains(pyatspi.STATE_SENSITIVE), node.queryAction().nActions
            if node.getRole() == pyatspi.ROLE_PUSH_BUTTON else 0))


def main():
    program = sys.argv[1]
    # Slow, so that the stage during drawing lasts even on a busy machine:
    # the border takes 20 s.
    app_process = subprocess.Popen([program, "--pace", "50000"],
                                   env=dict(os.environ, LANG="C.UTF-8"))
    try:
        app = wait_for("the program on the accessibility bus", find_app)
        frame = wait_for("its window", lambda: app.childCount and app.getChildAtIndex(0))
        if frame.getRole() != pyatspi.ROLE_FRAME or frame.name != CAPTION:
            fail("the window is %s %r, not a frame named by its caption"
                 % (frame.getRoleName(), frame.name))
        nodes = list(descendants(frame))
        buttons = {n.name: n for n in nodes if n.getRole() == pyatspi.ROLE_PUSH_BUTTON}
        labels = [n.name for n in nodes if n.getRole() == pyatspi.ROLE_LABEL]
        pictures = [n for n in nodes if n.getRole() in (pyatspi.ROLE_IMAGE, pyatspi.ROLE_CANVAS)]
        show(frame, "at start")
        if sorted(buttons) != sorted(BUTTONS):
            fail("buttons %r" % sorted(buttons))
        if sorted(labels) != sorted(LABELS):
            fail("labels %r" % labels)
        if len(pictures) != 1 or not pictures[0].name:
            fail("the picture is not one named image: %r" % [(p.name, p.getRoleName()) for p in pictures])
        picture = pictures[0]
        if picture.description != "空白":
            fail("the empty picture is described as %r" % picture.description)
        for name, button in buttons.items():
            if not button.description:
                fail("%s has no description" % name)

        border = buttons["花纹边框"]
        if not border.queryAction().doAction(0):
            fail("pressing 花纹边框 was refused")
        wait_for("the window to be busy", lambda: states(frame).contains(pyatspi.STATE_BUSY), 15)
        show(frame, "while drawing")
        for name, button in buttons.items():
            if states(button).contains(pyatspi.STATE_SENSITIVE):
                fail("%s is sensitive while the window is busy" % name)
            if button.queryAction().nActions != 0:
                fail("%s offers a press while the window is busy" % name)
        try:
            pressed = buttons["四个小窗"].queryAction().doAction(0)
        except Exception:  # no such action: refused
            pressed = False
        if pressed:
            fail("a press during drawing was reported as done")

        wait_for("the drawing to end", lambda: not states(frame).contains(pyatspi.STATE_BUSY), 60)
        time.sleep(0.3)
        show(frame, "after 花纹边框")
        if picture.description != "已画：花纹边框":
            fail("after the border the picture is described as %r" % picture.description)
        if not all(states(b).contains(pyatspi.STATE_SENSITIVE) for b in buttons.values()):
            fail("the buttons are not sensitive again")

        buttons["清除"].queryAction().doAction(0)
        wait_for("the picture described as empty again", lambda: picture.description == "空白", 10)
        show(frame, "after 清除")

        buttons["退出"].queryAction().doAction(0)
        status = app_process.wait(timeout=10)
        if status != 0:
            fail("退出 ended the program with status %d" % status)
        print("accessibility: all as expected")
    finally:
        if app_process.poll() is None:
            app_process.kill()
            app_process.wait()


main()
