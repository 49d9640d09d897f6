#!/usr/bin/python3
"""The page in WebKitGTK: MiniBrowser driven by WebKitWebDriver through Debian's
python3-selenium. /usr/bin/python3 webkit_tests.py CONFIG TEST [SCALE], where
CONFIG is the JSON the build writes (see page_tests.mjs, whose checks these follow).

MiniBrowser has no headless mode: each test starts its own Xvfb, HTTP server and
WebKitWebDriver (which starts MiniBrowser), each in its own process group with a
private home and runtime directory, all killed by pid however the test ends, and
the whole test bounded by the config's timeout.

Exit status: 0 passed, 1 failed, 77 skipped (no WebKitWebDriver, MiniBrowser,
Xvfb or python3-selenium; xdotool too for the keyboard).
"""

import base64
import glob
import json
import os
import select
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import time

try:
    from selenium import webdriver
    from selenium.webdriver import ActionChains
    from selenium.webdriver.common.keys import Keys
except ImportError:  # skipped in main
    webdriver = None

SKIP = 77


class Failure(Exception):
    pass


failures = 0


def check(ok, what):
    global failures
    if not ok:
        failures += 1
        print(f'FAIL: {what}', flush=True)
    return ok


def equal(got, want, what):
    return check(got == want, f'{what}: got {got!r}, want {want!r}')


class Processes:
    """What a test leaves running, and its temporary directories."""

    def __init__(self):
        self.groups, self.dirs = [], []

    def start(self, args, **options):
        p = subprocess.Popen(args, start_new_session=True, **options)
        self.groups.append(p.pid)
        return p

    def temporary(self):
        self.dirs.append(tempfile.mkdtemp(prefix='kestivo1-webkit-'))
        return self.dirs[-1]

    def stop(self):
        for pid in self.groups:
            try:
                os.killpg(pid, signal.SIGKILL)
            except ProcessLookupError:
                pass
        self.groups.clear()
        for d in self.dirs:
            shutil.rmtree(d, ignore_errors=True)
        self.dirs.clear()


def read_line(fd, seconds, what):
    """A line a process says on start-up, or a Failure after seconds."""
    said, end = b'', time.monotonic() + seconds
    while not said.endswith(b'\n'):
        if not select.select([fd], [], [], max(0, end - time.monotonic()))[0]:
            raise Failure(f'{what}: no answer in {seconds} s')
        chunk = os.read(fd, 256)
        if not chunk:
            raise Failure(f'{what}: ended before answering')
        said += chunk
    return said.decode()


def free_port():
    with socket.socket() as s:
        s.bind(('127.0.0.1', 0))
        return s.getsockname()[1]


def launch(procs, scale):
    """Xvfb, the site's HTTP server and WebKitWebDriver; a session in MiniBrowser."""
    home = procs.temporary()
    runtime = os.path.join(home, 'run')
    os.mkdir(runtime, 0o700)
    # -displayfd: Xvfb takes a free display and says which.
    r, w = os.pipe()
    procs.start(['Xvfb', '-displayfd', str(w), '-screen', '0', '2400x2000x24', '-nolisten', 'tcp'],
                pass_fds=[w], stderr=subprocess.DEVNULL)
    os.close(w)
    try:
        display = ':' + read_line(r, 10, 'starting Xvfb').strip()
    finally:
        os.close(r)
    server = procs.start([sys.executable, '-u', '-m', 'http.server', '0', '--bind', '127.0.0.1',
                          '--directory', config['root']], stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
    http = int(read_line(server.stdout.fileno(), 10, 'starting the HTTP server').split(' port ')[1].split()[0])
    # No session bus (a missing socket, so none is autolaunched either) nor
    # accessibility bus; software GL, as where there is no GPU.
    env = dict(os.environ, DISPLAY=display, HOME=home, XDG_RUNTIME_DIR=runtime, GDK_SCALE=str(scale),
               DBUS_SESSION_BUS_ADDRESS=f'unix:path={runtime}/no-bus', NO_AT_BRIDGE='1',
               LIBGL_ALWAYS_SOFTWARE='1')
    port = free_port()
    driver = procs.start(['WebKitWebDriver', f'--port={port}'], env=env,
                         stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    end = time.monotonic() + 10
    while True:
        try:
            socket.create_connection(('127.0.0.1', port), 1).close()
            break
        except OSError:
            if driver.poll() is not None or time.monotonic() > end:
                raise Failure('WebKitWebDriver did not start')
            time.sleep(0.05)
    options = webdriver.WebKitGTKOptions()
    options.binary_location = minibrowser
    options.add_argument('--automation')
    browser = webdriver.Remote(command_executor=f'http://127.0.0.1:{port}', options=options)
    # Larger than the form, so that it is not fitted down to the window.
    browser.set_window_rect(width=1000, height=800)
    browser.url = lambda path: f'http://127.0.0.1:{http}/{path}'
    browser.display = display
    return browser


# A log of the form's aria-busy changes, and the page's errors from here on
# (WebDriver has no hook before the page's own scripts run).
WATCH = '''
window.busyLog = [];
new MutationObserver(() => window.busyLog.push(document.getElementById('Form1').getAttribute('aria-busy')))
  .observe(document.getElementById('Form1'), {attributes: true, attributeFilter: ['aria-busy']});
window.pageErrors = [];
addEventListener('error', e => pageErrors.push(String(e.message)));
addEventListener('unhandledrejection', e => pageErrors.push(String(e.reason)));
const error = console.error;
console.error = (...a) => (pageErrors.push(a.join(' ')), error.apply(console, a));
'''


def wait(browser, condition, what, seconds=20):
    end = time.monotonic() + seconds
    while not browser.execute_script(f'return !!({condition});'):
        if time.monotonic() > end:
            raise Failure(f'{what}: not in {seconds} s')
        time.sleep(0.02)


def settle(browser):
    """Two animation frames: whatever input just began has shown by then."""
    browser.execute_async_script('requestAnimationFrame(() => requestAnimationFrame(arguments[0]));')


def open_page(browser, path):
    browser.get(browser.url(path))
    wait(browser, "document.querySelector('#Form1 #CmdHwbk')", 'the form')
    browser.execute_script(WATCH)


def busy_changes(browser):
    return browser.execute_script('return busyLog.length;')


def routine_done(browser, start):
    """The routine begun after start busy changes has gone busy and ended."""
    wait(browser, f"busyLog.length >= {start + 2} && busyLog.at(-1) === 'false'", 'the routine to end')


def click(browser, id):
    browser.find_element('id', id).click()


def press(browser, id):
    start = busy_changes(browser)
    click(browser, id)
    routine_done(browser, start)


def keys(browser, *steps):
    """Key steps performed at once: ('down', key) or ('up', key)."""
    chain = ActionChains(browser)
    for step, key in steps:
        (chain.key_down if step == 'down' else chain.key_up)(key)
    chain.perform()


def focused(browser):
    return browser.execute_script('return document.activeElement && document.activeElement.id;')


def errors_none(browser, what, ignore=()):
    equal([e for e in browser.execute_script('return pageErrors;') if e not in ignore], [], what)


# ------------------------------------------------------------------ pictures

CANVAS = "const c = document.getElementById('picture'); " \
         "const d = c.getContext('2d').getImageData(0, 0, c.width, c.height).data;"
# FNV-1a (32 bits) over the canvas's RGBA bytes, in the page.
HASH = CANVAS + '''let h = 0x811c9dc5;
for (let i = 0; i < d.length; ++i) h = Math.imul(h ^ d[i], 16777619);
return (h >>> 0).toString(16).padStart(8, '0');'''
BYTES = CANVAS + '''let s = '';
for (let i = 0; i < d.length; i += 0x8000) s += String.fromCharCode.apply(null, d.subarray(i, i + 0x8000));
return [c.width, btoa(s)];'''


def expected(*args):
    run = subprocess.run([p for p in (config['emulator'], config['expected']) if p] + [str(a) for a in args],
                         capture_output=True, timeout=60)
    if run.returncode != 0:
        raise Failure(f'expected_pixels {args}: {run.stderr.decode()}')
    return run.stdout


expected_hashes = {}


def check_picture(browser, scale, name, what):
    """The canvas against the core's picture: by hash, and on a difference, pixel by pixel."""
    if scale not in expected_hashes:
        expected_hashes[scale] = dict(line.split() for line in expected(scale).decode().splitlines())
    got, want_hash = browser.execute_script(HASH), expected_hashes[scale][name]
    if got == want_hash:
        return True
    with tempfile.TemporaryDirectory() as d:
        expected(scale, name, os.path.join(d, 'want'))
        with open(os.path.join(d, 'want'), 'rb') as f:
            want = f.read()
    width, data = browser.execute_script(BYTES)
    have = base64.b64decode(data)
    differ = [i for i in range(0, min(len(have), len(want)), 4) if have[i:i + 4] != want[i:i + 4]]
    first = differ and f'({differ[0] // 4 % width}, {differ[0] // 4 // width}): ' \
                       f'{have[differ[0]:differ[0] + 4].hex()} for {want[differ[0]:differ[0] + 4].hex()}'
    return check(False, f'{what} at {scale}x: hash {got}, want {want_hash}; {len(have)} bytes for {len(want)}; '
                        f'{len(differ)} pixels differ, the first at {first}')


# -------------------------------------------------------------------- tests

# The layout table in twips (left, top, width, height), and the form's client area.
TWIPS = {
    'CmdHwbk': [3360, 7560, 1095, 375], 'CmdHwty': [4680, 7560, 975, 375], 'CmdSgxc': [5880, 7560, 975, 375],
    'CmdCls': [7080, 7560, 975, 375], 'CmdExit': [8280, 7560, 975, 375],
    'Label4': [5040, 3000, 2175, 375], 'Label1': [4320, 3720, 3375, 495], 'Label2': [4560, 4560, 2775, 375],
    'Label3': [5400, 5160, 1215, 375], 'Shape1': [120, 120, 11775, 8055],
}
CLIENT = [12000, 8280]


def layout(browser, scale):
    """Every control where the layout table puts it; the canvas backed by device pixels."""
    open_page(browser, config['index'])
    boxes = browser.execute_script('''
        const form = document.getElementById('Form1'), f = form.getBoundingClientRect();
        const box = e => { const r = e.getBoundingClientRect();
          return [r.left - f.left - form.clientLeft, r.top - f.top - form.clientTop, r.width, r.height]; };
        const c = document.getElementById('picture');
        return [Object.fromEntries(arguments[0].map(id => [id, box(document.getElementById(id))])),
                [form.clientWidth, form.clientHeight], [c.width, c.height, ...box(c).slice(2)]];''', list(TWIPS))
    for id, twips in TWIPS.items():
        equal(boxes[0][id], [t / 15 for t in twips], id)
    equal(boxes[1], [t / 15 for t in CLIENT], "Form1's client area")
    equal(boxes[2], [800 * scale, 552 * scale, 800, 552], 'the canvas (device, then CSS pixels)')
    errors_none(browser, 'page errors')


def exact(browser, scale):
    """Each pattern then 清除, and the three together, pixel for pixel as the core draws them."""
    open_page(browser, config['index'])
    check_picture(browser, scale, 'empty', 'the start picture')
    patterns = [('CmdHwbk', 'hwbk'), ('CmdHwty', 'hwty'), ('CmdSgxc', 'sgxc')]
    for id, name in patterns:
        press(browser, id)
        check_picture(browser, scale, name, id)
        press(browser, 'CmdCls')
        check_picture(browser, scale, 'empty', f'清除 after {id}')
    for id, _ in patterns:
        press(browser, id)
    check_picture(browser, scale, 'all', 'the three patterns')
    errors_none(browser, 'page errors')


def keyboard(browser, scale):
    """Tab goes round the buttons by their tab indexes and on out of the form;
    Space pushes on key-down and clicks on key-up, Enter clicks on key-down, once
    however long held."""
    open_page(browser, config['index'])
    equal(focused(browser), 'CmdHwbk', 'the focus at load')
    for shift, order in [(False, ['CmdCls', 'CmdExit', 'CmdSgxc', 'CmdHwty']),
                         (True, ['CmdSgxc', 'CmdExit', 'CmdCls', 'CmdHwbk'])]:
        tab = [('down', Keys.SHIFT)] * shift + [('down', Keys.TAB), ('up', Keys.TAB)] + [('up', Keys.SHIFT)] * shift
        seen = []
        for _ in order:
            keys(browser, *tab)
            seen.append(focused(browser))
        equal(seen, order, f'{"Shift+" * shift}Tab order')
        keys(browser, *tab)  # on out of the form: the keyboard is not trapped in it
        check(browser.execute_script("return !document.activeElement.matches('#Form1 button');"),
              f'{"Shift+" * shift}Tab from {order[-1]} leaves the buttons: on {focused(browser)!r}')
        browser.execute_script('document.getElementById(arguments[0]).focus();', order[-1])

    push = "getComputedStyle(document.getElementById('CmdHwbk')).borderTopColor"
    keys(browser, ('down', Keys.SPACE))
    equal(browser.execute_script(f'return [busyLog.length, {push}];'), [0, 'rgb(64, 64, 64)'],
          'Space held: busy changes, and the button shown down')
    keys(browser, ('up', Keys.SPACE))
    routine_done(browser, 0)

    # Enter held as a person holds it: WebKitWebDriver drops a second keyDown of
    # a key it holds, so the X server's own autorepeat gives the repeats.
    def xdotool(*args):
        subprocess.run(['xdotool', *args], env=dict(os.environ, DISPLAY=browser.display), check=True, timeout=10)
    xdotool('search', '--onlyvisible', '--class', 'MiniBrowser', 'windowfocus', '--sync')
    xdotool('keydown', 'Return')
    wait(browser, 'busyLog.length === 3', 'Enter to press while held', 5)
    routine_done(browser, 2)
    browser.execute_script("window.repeats = 0; addEventListener('keydown', e => repeats += e.repeat, true);")
    time.sleep(0.5)
    xdotool('keyup', 'Return')
    settle(browser)
    equal(busy_changes(browser), 4, 'busy changes after a held Enter: one routine')
    check(browser.execute_script('return repeats;') > 0, 'Enter repeated after the routine')
    check_picture(browser, scale, 'hwbk', 'the picture after the keys')
    errors_none(browser, 'page errors')


def input_(browser, scale):
    """While drawing, clicks and keys are discarded, 退出 included."""
    open_page(browser, config['index'])
    click(browser, 'CmdHwbk')
    click(browser, 'CmdCls')
    click(browser, 'CmdExit')
    keys(browser, ('down', Keys.SPACE), ('up', Keys.SPACE), ('down', Keys.ENTER), ('up', Keys.ENTER))
    check(busy_changes(browser) == 1, 'the input given while drawing: the border had ended first')
    routine_done(browser, 0)
    settle(browser)
    state = browser.execute_script("return [busyLog, !!document.getElementById('Form1'), "
                                   "!document.getElementById('ended').hidden];")
    equal(state, [['true', 'false'], True, False], 'one routine, nothing from the input during it, not ended')
    check_picture(browser, scale, 'hwbk', 'the picture after discarded input')
    errors_none(browser, 'page errors')


def ending(browser, scale):
    """退出 ends the program; a run-time error is reported, then ends it."""
    ended = "return [!!document.getElementById('Form1'), !document.getElementById('ended').hidden, " \
            "document.getElementById('ended').dataset.status || null];"
    open_page(browser, config['index'])
    click(browser, 'CmdExit')
    wait(browser, "!document.getElementById('ended').hidden", 'the end', 5)
    equal(browser.execute_script(ended), [False, True, '0'], '退出')
    errors_none(browser, 'page errors after 退出')

    open_page(browser, config['faulty'])
    click(browser, 'CmdHwbk')
    wait(browser, "document.querySelector('dialog#error[open]')", 'the report', 10)
    report = browser.execute_script("return [document.getElementById('error-title').textContent, "
                                    "document.getElementById('error-message').textContent];")
    equal(report, ['Kestivo1', '运行时错误：Form1.PSet 绘图操作失败。\n程序将结束。'], 'the report')
    equal(browser.execute_script(ended), [True, False, None], 'running while the report is up')
    browser.find_element('css selector', 'dialog#error button').click()
    wait(browser, "!document.getElementById('ended').hidden", 'the end after the report', 5)
    equal(browser.execute_script(ended), [False, True, '1'], 'after the report')
    errors_none(browser, 'page errors after the report',
                ['Kestivo1: 运行时错误：Form1.PSet 绘图操作失败。', '程序将结束。'])


def fitted(browser, scale):
    """In a window smaller than the form: fitted inside it, and the picture
    exact at the device pixels it then covers."""
    browser.set_window_rect(width=560, height=480)
    open_page(browser, config['index'])
    fit = browser.execute_script('''
        const w = document.querySelector('.window').getBoundingClientRect(), root = document.documentElement;
        return [w.right <= root.clientWidth && w.bottom <= root.clientHeight && root.scrollWidth <= root.clientWidth,
                document.getElementById('picture').dataset.scale];''')
    check(fit[0], 'the window inside the viewport, no sideways scrolling')
    check(float(fit[1]) < scale, f'fitted smaller: the picture at {fit[1]} on a {scale} screen')
    press(browser, 'CmdHwbk')
    check_picture(browser, fit[1], 'hwbk', '花纹边框 fitted')
    errors_none(browser, 'page errors')


TESTS = {'layout': layout, 'exact': exact, 'keyboard': keyboard, 'input': input_, 'ending': ending,
         'fitted': fitted}


def main():
    global config, minibrowser
    config_path, name = sys.argv[1:3]
    scale = int(sys.argv[3]) if len(sys.argv) > 3 else 1
    title = f'{name} webkit {scale}'
    with open(config_path, encoding='utf-8') as f:
        config = json.load(f)
    # GTK 3's (webkit2gtk-4.1) where there is a choice: the one Debian 12 has.
    browsers = sorted(glob.glob('/usr/lib/*/webkit*gtk-*/MiniBrowser'))
    minibrowser = browsers[0] if browsers else None
    missing = [what for what, there in [('WebKitWebDriver', shutil.which('WebKitWebDriver')),
                                        ('MiniBrowser', minibrowser), ('Xvfb', shutil.which('Xvfb')),
                                        ('python3-selenium', webdriver),
                                        ('xdotool', name != 'keyboard' or shutil.which('xdotool'))] if not there]
    if missing:
        print(f'{", ".join(missing)} not installed: skipped')
        return SKIP
    if name not in TESTS:
        print(f'no test {name}')
        return 1

    def expire(*_):
        raise Failure(f'no end in {config["timeout"]} s')
    signal.signal(signal.SIGALRM, expire)
    signal.signal(signal.SIGTERM, expire)
    signal.alarm(int(config['timeout']))
    procs = Processes()
    try:
        TESTS[name](launch(procs, scale), scale)
    except Failure as e:
        check(False, f'{title}: {e}')
    finally:
        signal.alarm(0)
        procs.stop()
    print(f'{title}: {failures} checks failed' if failures else f'{title}: passed')
    return 1 if failures else 0


if __name__ == '__main__':
    sys.exit(main())
