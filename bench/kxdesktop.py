"""The real kestrelix on a private X11 desktop, for the benchmarks in this folder: Xvfb, a D-Bus
session bus and openbox, keys typed through XTest as another client types them, and figures of a
running process read from /proc."""

import ctypes
import json
import os
import pathlib
import shutil
import subprocess
import sys
import time

ROOT = pathlib.Path(__file__).resolve().parent.parent


class Keyboard:
    """XTest on a connection of its own, as another X client types."""

    def __init__(self, display):
        self.x11 = ctypes.CDLL("libX11.so.6")
        self.xtst = ctypes.CDLL("libXtst.so.6")
        self.x11.XOpenDisplay.restype = ctypes.c_void_p
        self.x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
        self.x11.XStringToKeysym.restype = ctypes.c_ulong
        self.x11.XStringToKeysym.argtypes = [ctypes.c_char_p]
        self.x11.XKeysymToKeycode.restype = ctypes.c_ubyte
        self.x11.XKeysymToKeycode.argtypes = [ctypes.c_void_p, ctypes.c_ulong]
        self.x11.XSync.argtypes = [ctypes.c_void_p, ctypes.c_int]
        self.x11.XkbLockGroup.argtypes = [ctypes.c_void_p, ctypes.c_uint, ctypes.c_uint]
        self.xtst.XTestFakeKeyEvent.argtypes = [ctypes.c_void_p, ctypes.c_uint, ctypes.c_int, ctypes.c_ulong]
        self.display = self.x11.XOpenDisplay(display.encode())
        if not self.display:
            sys.exit(f"cannot open {display}")
        self.codes = {}

    def code(self, key):
        if key not in self.codes:
            name = b"space" if key == " " else key.encode()
            self.codes[key] = self.x11.XKeysymToKeycode(self.display, self.x11.XStringToKeysym(name))
        return self.codes[key]

    def tap(self, key):
        self.xtst.XTestFakeKeyEvent(self.display, self.code(key), 1, 0)
        self.xtst.XTestFakeKeyEvent(self.display, self.code(key), 0, 0)
        self.x11.XSync(self.display, 0)

    def key(self, name, down):
        """Presses (down) or lets go of the key whose keysym is named name ("slash", "Shift_L")."""
        code = self.x11.XKeysymToKeycode(self.display, self.x11.XStringToKeysym(name.encode()))
        self.xtst.XTestFakeKeyEvent(self.display, code, 1 if down else 0, 0)
        self.x11.XSync(self.display, 0)

    def lock_group(self, group):
        self.x11.XkbLockGroup(self.display, 0x100, group)  # XkbUseCoreKbd
        self.x11.XSync(self.display, 0)


class Desktop:
    def __init__(self, folder):
        self.folder = folder
        self.children = []
        self.env = dict(os.environ, GSETTINGS_BACKEND="memory", QT_QPA_PLATFORM="xcb",
                        QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1")
        self.env.pop("AT_SPI_BUS_ADDRESS", None)
        self.env.pop("WAYLAND_DISPLAY", None)
        self.env.pop("XDG_SESSION_TYPE", None)

    def start(self, argv, **kwargs):
        process = subprocess.Popen(argv, env=self.env, **kwargs)
        self.children.append(process)
        return process

    def start_printing(self, argv):
        """A server that prints where it listens on a descriptor named in argv ("{fd}")."""
        read, write = os.pipe()
        process = self.start([arg.replace("{fd}", str(write)) for arg in argv], pass_fds=(write,),
                             stderr=subprocess.DEVNULL)
        os.close(write)
        with os.fdopen(read) as out:
            line = out.readline().strip()
        if not line:
            sys.exit(f"{argv[0]} did not start")
        return process, line

    def up(self, layouts):
        # -noreset: otherwise the server resets when its last client leaves.
        _, number = self.start_printing(["Xvfb", "-displayfd", "{fd}", "-noreset", "-nolisten", "tcp",
                                         "-screen", "0", "1280x1024x24"])
        self.env["DISPLAY"] = ":" + number
        _, address = self.start_printing(["dbus-daemon", "--session", "--nofork", "--print-address={fd}"])
        self.env["DBUS_SESSION_BUS_ADDRESS"] = address
        self.start(["openbox", "--sm-disable"], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        time.sleep(0.5)
        subprocess.run(["setxkbmap", "-layout", layouts], env=self.env, check=True)

    def down(self):
        for process in reversed(self.children):
            process.terminate()
            try:
                process.wait(3)
            except subprocess.TimeoutExpired:
                process.kill()
                process.wait()


def wait_until(condition, seconds, what, log=None):
    deadline = time.monotonic() + seconds
    while not condition():
        if time.monotonic() > deadline:
            tail = "".join(read(log).splitlines(keepends=True)[-8:]) if log else ""
            sys.exit(f"timed out waiting for {what}\n{tail}")
        time.sleep(0.001)


def read(path):
    try:
        return path.read_text(encoding="utf-8")
    except FileNotFoundError:
        return ""


def thread_times(pid):
    """Each thread of pid alive now, and its time on a CPU in seconds, to the nanosecond. Clock
    ticks misread a process that wakes seldom and briefly: each wake-up that meets a tick is
    charged all of it."""
    times = {}
    for task in pathlib.Path(f"/proc/{pid}/task").iterdir():
        try:
            times[int(task.name)] = int((task / "schedstat").read_text().split()[0]) / 1e9
        except FileNotFoundError:
            pass
    return times


def grown(before, after):
    """What the threads in after added since before; a thread that ended meanwhile is not in it."""
    return sum(value - before.get(key, 0) for key, value in after.items())


def status_kb(pid, name):
    for line in pathlib.Path(f"/proc/{pid}/status").read_text().splitlines():
        if line.startswith(name + ":"):
            return int(line.split()[1])
    return 0


def programs(build):
    """kestrelix and the probe field of build, after checking that they and the desktop's tools exist."""
    kestrelix = build / "kestrelix"
    probe = build / "tests" / "kx_desktop_probe"
    for program in (kestrelix, probe):
        if not program.exists():
            sys.exit(f"{program} is missing: build first (cmake --build {build})")
    for tool in ("Xvfb", "dbus-daemon", "openbox", "setxkbmap"):
        if not shutil.which(tool):
            sys.exit(f"{tool} is missing: run scripts/bootstrap")
    return kestrelix, probe


def start_kestrelix(desktop, kestrelix, home, defaults=None):
    """Starts kestrelix with private settings of a user past the walkthrough (its window would take
    the focus) and with defaults; returns the process, its session log and its error output."""
    for name, value in (("XDG_CONFIG_HOME", "config"), ("XDG_STATE_HOME", "state"), ("XDG_DATA_HOME", "data")):
        desktop.env[name] = str(home / value)
    (home / "config/kestrelix").mkdir(parents=True)
    (home / "config/kestrelix/defaults.json").write_text(json.dumps({"kestrelix.seenWalkthrough": True,
                                                                     **(defaults or {})}))
    log = home / "state/kestrelix/kestrelix.log"
    errors = home / "kestrelix.err"
    with errors.open("w") as err:
        app = desktop.start([str(kestrelix)], stdout=subprocess.DEVNULL, stderr=err)
    return app, log, errors


def start_probe(desktop, probe, field_file):
    """Starts the probe field, which writes its text to field_file, and waits until it is up."""
    field = desktop.start([str(probe), "--class", "KxBench", "--report", str(field_file)],
                          stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
    if field.stdout.readline().strip() != "ready":
        sys.exit("the probe field did not start")
    return field
