"""Runs the real application against the simulated device, for bench/soak and bench/faults.

The application is started the way a user starts it, from a scratch folder laid out so that
the adb and server paths it sets at start-up lead to the simulator's stand-ins. Everything it
does is read from outside: its log file, its process table entries, its window (through
xdotool and bin/winping), and the simulator's own logs.
"""
import json
import os
import shutil
import signal
import subprocess
import tempfile
import threading
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
BUILD = os.environ.get("VADIZEDE_BUILD", os.path.join(ROOT, "build"))
# VADIZEDE_APP: another build of the program, run against this build's simulator.
APP = os.environ.get("VADIZEDE_APP", os.path.join(BUILD, "app", "vadizede"))
SIM_ADB = os.path.join(BUILD, "tools", "devicesim", "adb")
SIM_SERVER_FILE = os.path.join(BUILD, "tools", "devicesim", "dravik-server")
WINPING = os.path.join(BUILD, "bench", "winping", "winping")
# Where start-up points the adb and server paths, relative to the working folder.
ADB_LINK = "ZelDravik/VaDizedeCore/src/third_party/adb/win/adb.exe"
SERVER_LINK = "ZelDravik/VaDizedeCore/src/third_party/dravik-server"
DISCONNECT_LINE = "disconnectDevice m_serverStartSuccess:"


def ensure_display(argv):
    """Re-runs the calling script under a virtual display when there is none."""
    if os.environ.get("DISPLAY"):
        return
    os.execvp("xvfb-run", ["xvfb-run", "-a", "-s", "-screen 0 1920x1080x24"] + argv)


def missing_programs():
    return [p for p in (APP, SIM_ADB, SIM_SERVER_FILE, WINPING) if not os.path.exists(p)]


class Sim:
    """The simulated device's home and its adb stand-in."""

    def __init__(self, root):
        self.home = os.path.join(root, "sim")
        os.makedirs(self.home, exist_ok=True)
        self.env = dict(os.environ, VADIZEDE_SIM_HOME=self.home)

    def adb(self, *args, check=True):
        result = subprocess.run([SIM_ADB] + list(args), env=self.env, capture_output=True, text=True, timeout=60)
        if check and result.returncode != 0:
            raise RuntimeError(f"adb {' '.join(args)}: {result.stderr.strip()}")
        return result.stdout

    def set(self, serial, **values):
        pairs = [f"{k}={v if isinstance(v, str) else json.dumps(v)}" for k, v in values.items()]
        self.adb("sim", "set", serial, *pairs)

    def device_path(self, serial, name):
        return os.path.join(self.home, "devices", serial, name)

    def json_lines(self, path):
        try:
            with open(path, "rb") as f:
                return [json.loads(line) for line in f if line.strip()]
        except FileNotFoundError:
            return []

    def server_events(self, serial, event=None):
        lines = self.json_lines(self.device_path(serial, "server.jsonl"))
        return [e for e in lines if event is None or e.get("event") == event]

    def control_count(self, serial):
        try:
            with open(self.device_path(serial, "control.jsonl"), "rb") as f:
                return sum(1 for _ in f)
        except FileNotFoundError:
            return 0

    def invocations(self):
        return self.json_lines(os.path.join(self.home, "adb.jsonl"))

    def pushes(self):
        return sum(1 for i in self.invocations() if "push" in i.get("argv", []))

    def write_device_key(self, serial, key, value):
        """Sets a key in device.json directly, for values too large for a command line."""
        path = self.device_path(serial, "device.json")
        with open(path) as f:
            device = json.load(f)
        device[key] = value
        tmp = path + ".tmp"
        with open(tmp, "w") as f:
            json.dump(device, f)
        os.replace(tmp, path)

    def stop(self):
        self.adb("sim", "stop", check=False)


class LogTimes:
    """Notes when each line of a growing log file appeared (to within 20 ms)."""

    def __init__(self, path):
        self.path = path
        self.lines = []
        self.done = False
        threading.Thread(target=self._follow, daemon=True).start()

    def _follow(self):
        offset, rest = 0, b""
        while not self.done:
            try:
                with open(self.path, "rb") as f:
                    f.seek(offset)
                    chunk = f.read()
            except FileNotFoundError:
                chunk = b""
            offset += len(chunk)
            parts = (rest + chunk).split(b"\n")
            rest = parts.pop()
            now = time.time()
            self.lines += [(now, p.decode("utf-8", "replace")) for p in parts]
            time.sleep(0.02)

    def around(self, at, before=1.0, after=0.2):
        return [line for t, line in self.lines if at - before <= t <= at + after]


class App:
    """The application process, its scratch folders, its log and its window."""

    def __init__(self, root, sim):
        self.root = root
        self.sim = sim
        self.cwd = os.path.join(root, "run", "a", "b", "c")
        os.makedirs(self.cwd, exist_ok=True)
        self.data = os.path.join(root, "data")
        self.log_path = os.path.join(self.data, "VuvodiZidevi", "appdebug.log")
        self.adb_link = os.path.join(root, "run", ADB_LINK)
        os.makedirs(os.path.dirname(self.adb_link), exist_ok=True)
        os.symlink(SIM_SERVER_FILE, os.path.join(root, "run", SERVER_LINK))
        self.use_adb(SIM_ADB)
        self.proc = None
        self.window = None
        self.ping = None

    def use_adb(self, target):
        """Points the application's adb path at target; None removes it."""
        if os.path.lexists(self.adb_link):
            os.unlink(self.adb_link)
        if target:
            os.symlink(target, self.adb_link)

    def start(self, args=()):
        env = dict(self.sim.env, XDG_DATA_HOME=self.data)
        self.proc = subprocess.Popen([APP] + list(args), cwd=self.cwd, env=env,
                                     stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.log_times = LogTimes(self.log_path)
        self.window = self._find_window()
        self.ping = Ping(self.window)

    def explain_slow(self, since, limit=100, most=3):
        """Prints, for the slowest answers since the given time, the log lines written just before."""
        slow = sorted(self.ping.slow_since(since, limit), key=lambda a: -a[1])[:most]
        for at, delay in slow:
            print(f"      {delay} ms answer sent at +{at - since:.1f} s, after:")
            for line in self.log_times.around(at, before=0.2, after=delay / 1000.0 + 0.05)[-8:]:
                print("        " + line[:160])

    def _find_window(self, timeout=60):
        deadline = time.time() + timeout
        while time.time() < deadline:
            out = subprocess.run(["xdotool", "search", "--onlyvisible", "--pid", str(self.proc.pid)],
                                 capture_output=True, text=True).stdout.split()
            if out:
                return out[-1]
            if self.proc.poll() is not None:
                raise RuntimeError(f"the application ended at start with {self.proc.returncode}")
            time.sleep(0.2)
        raise RuntimeError("the application showed no window")

    def log(self):
        try:
            with open(self.log_path, "rb") as f:
                return f.read().decode("utf-8", "replace")
        except FileNotFoundError:
            return ""

    def wait_log(self, text, since=0, timeout=30):
        deadline = time.time() + timeout
        while time.time() < deadline:
            if text in self.log()[since:]:
                return True
            time.sleep(0.2)
        return False

    def grab(self):
        """The window's pixels as raw RGB bytes (empty when it cannot be read)."""
        result = subprocess.run(["import", "-window", self.window, "-silent", "rgb:-"], capture_output=True)
        return result.stdout if result.returncode == 0 else b""

    def picture_moving(self, timeout=15, gap=0.7):
        """True once two grabs of the window a moment apart differ: the video is being shown."""
        deadline = time.time() + timeout
        before = self.grab()
        while time.time() < deadline:
            time.sleep(gap)
            after = self.grab()
            if before and after and before != after:
                return True
            before = after
        return False

    def click(self, x, y):
        subprocess.run(["xdotool", "mousemove", "--window", self.window, str(x), str(y), "click", "1"],
                       capture_output=True)

    def key(self, *keys):
        # Keys sent to a window that is not focused miss its shortcuts: focus it first.
        subprocess.run(["xdotool", "windowfocus", "--sync", self.window], capture_output=True, timeout=10)
        subprocess.run(["xdotool", "key", "--clearmodifiers"] + list(keys), capture_output=True)

    def close(self, timeout=30):
        """Closes the window as the window manager would, then waits for the process to end."""
        if self.ping:
            self.ping.stop()
        if self.proc.poll() is None:
            subprocess.run([WINPING, self.window, "--close"], capture_output=True, timeout=10)
            try:
                self.proc.wait(timeout)
            except subprocess.TimeoutExpired:
                self.proc.kill()
                self.proc.wait()
                return False
        return True

    def end_children(self, marker):
        """Ends the application's child processes whose command line holds marker (a stuck adb)."""
        for pid, _, _ in children(self.proc.pid):
            try:
                with open(f"/proc/{pid}/cmdline", "rb") as f:
                    if marker.encode() in f.read():
                        os.kill(pid, signal.SIGKILL)
            except (FileNotFoundError, ProcessLookupError):
                pass

    def sample(self):
        return sample(self.proc.pid)


def read_status(pid):
    values = {}
    with open(f"/proc/{pid}/status") as f:
        for line in f:
            key, _, value = line.partition(":")
            values[key] = value.strip()
    return values


def children(pid):
    """(pid, name, state) of every child process."""
    found = []
    for entry in os.listdir("/proc"):
        if not entry.isdigit():
            continue
        try:
            status = read_status(int(entry))
        except (FileNotFoundError, ProcessLookupError, PermissionError):
            continue
        if status.get("PPid") == str(pid):
            found.append((int(entry), status.get("Name", "?"), status.get("State", "?")[:1]))
    return found


def sample(pid):
    status = read_status(pid)
    kids = children(pid)
    return {
        "rss_kib": int(status["VmRSS"].split()[0]),
        "fds": len(os.listdir(f"/proc/{pid}/fd")),
        "threads": int(status["Threads"]),
        "children": len(kids),
        "zombies": sum(1 for k in kids if k[2] == "Z"),
    }


class Ping:
    """Keeps pinging the window; max_since(t) is the worst answer delay since time t."""

    def __init__(self, window, interval_ms=50):
        self.answers = []
        self.stalled_since = None
        self.proc = subprocess.Popen([WINPING, window, str(interval_ms)], stdout=subprocess.PIPE, text=True)
        self.start = time.time()
        threading.Thread(target=self._read, daemon=True).start()

    def _read(self):
        for line in self.proc.stdout:
            parts = line.split()
            if len(parts) != 2:
                continue
            at = self.start + int(parts[0]) / 1000.0
            if parts[1] == "stalled":
                self.stalled_since = at
            else:
                self.stalled_since = None
                self.answers.append((at, int(parts[1])))

    def slow_since(self, since, limit):
        """(time, delay) of every answer slower than limit since the given time."""
        return [(at, d) for at, d in self.answers if at >= since and d > limit]

    def max_since(self, since):
        delays = [d for at, d in self.answers if at >= since]
        if self.stalled_since is not None:
            delays.append(int((time.time() - self.stalled_since) * 1000))
        return max(delays) if delays else None

    def max_between(self, since, until):
        delays = [d for at, d in self.answers if since <= at < until]
        return max(delays) if delays else None

    def count_since(self, since):
        return sum(1 for at, _ in self.answers if at >= since)

    def stop(self):
        if self.proc.poll() is None:
            self.proc.send_signal(signal.SIGTERM)
            self.proc.wait()


def scratch(prefix):
    return tempfile.mkdtemp(prefix=prefix)


def remove(root):
    shutil.rmtree(root, ignore_errors=True)
