#!/usr/bin/env python3
"""hostwend-cli.exe under Wine, driven from Linux as a deployment tool would:
exit codes, the JSON read with Python's json, and the registry it leaves,
seen through tarnreg.exe (one Wine start per batch of registry work).

Run by CTest inside the test command's Wine session; run alone, it starts a
session of its own:  python3 tests/wine/cli/cli_test.py [-v]
"""
import concurrent.futures
import getpass
import json
import os
import re
import select
import shutil
import subprocess
import sys
import tempfile
import time
import unittest

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", "..", ".."))
if os.environ.get("HOSTWEND_WINE_SESSION") != "1":
    session = os.path.join(ROOT, "scripts", "wine-session.sh")
    os.execv(session, [session, sys.executable, os.path.abspath(__file__)] + sys.argv[1:])

BUILD = os.path.join(ROOT, "build", "windows-x64")
CLI_EXE = os.environ.get("HOSTWEND_CLI_EXE", os.path.join(BUILD, "hostwend-cli.exe"))
TARNREG_EXE = os.environ.get("HOSTWEND_TARNREG_EXE", os.path.join(BUILD, "tests", "wine", "tarnreg.exe"))
# The window's own Wine test drives it; the program it starts lies beside the console program.
APPLY_TESTS_EXE = os.environ.get("HOSTWEND_APPLY_TESTS_EXE",
                                 os.path.join(BUILD, "tests", "wine", "apply_wine_tests.exe"))
WINDOW_EXE = os.path.join(os.path.dirname(CLI_EXE), "hostwend.exe")
# The other build's console program, for one computer's record shared by both.
CLI32_EXE = os.path.join(ROOT, "build", "windows-x86", "hostwend-cli.exe")


def runs_32_bit():
    """Whether this kernel runs Wine's 32-bit loader."""
    try:
        return subprocess.run(["/usr/lib/wine/wine", "--version"], stdout=subprocess.DEVNULL,
                              stderr=subprocess.DEVNULL, timeout=30).returncode == 0
    except OSError:
        return False


RUNS_32_BIT = runs_32_bit()
WINE_TIMEOUT = 45  # an apply may wait 30 s for another one

HKLM = "HKEY_LOCAL_MACHINE\\"
CLIENT = "SOFTWARE\\TARN\\TARN6\\TARN Manager\\Client TCP-IP"
BCAST = CLIENT + "\\BroadcastServer"
ODBC_KEY = "SOFTWARE\\ODBC\\ODBC.INI\\TARN INT Database"
# The eight values in the order an apply writes them.
STEPS = [(CLIENT, "Remote-Addr"), (CLIENT, "UDP-Remote-Addr"), (BCAST, "BcastTCPAddress"),
         (BCAST, "BcastUDPAddress"), (BCAST, "BcastUDPPort"), (BCAST, "DisableTCPBcast"),
         ("SOFTWARE\\TARN\\TARN6\\TARN Client\\ODBC", "DataBase-IPAddress"), (ODBC_KEY, "Server")]
REG_SZ, REG_EXPAND_SZ, REG_BINARY, REG_DWORD, REG_MULTI_SZ = 1, 2, 3, 4, 7
TYPE_NAMES = {REG_SZ: "REG_SZ", REG_EXPAND_SZ: "REG_EXPAND_SZ", REG_BINARY: "REG_BINARY",
              REG_DWORD: "REG_DWORD", REG_MULTI_SZ: "REG_MULTI_SZ"}
ADDRESS_KEYS = {"lan": "LanAddress", "vpn": "VPNAddress", "vsat": "VsatAddress", "others": "OthersAddress"}
PREFIX = "hostwend-cli: "
# Where regedit shows a key of the 32-bit view, as the error lines name it: under
# WOW6432Node on 64-bit Windows; a 32-bit Windows (WINEARCH=win32) has one view.
WINDOWS_64 = os.environ.get("WINEARCH", "win64") != "win32"
REGEDIT = "HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432Node\\" if WINDOWS_64 else "HKEY_LOCAL_MACHINE\\SOFTWARE\\"
# What Wine's own debug channels write to standard error when a test asks for them.
WINE_DEBUG_LINE = re.compile(r"^[0-9a-f]{4}:(trace|fixme|warn|err):")
GUIDE = os.path.join(ROOT, "docs", "OPERATORS.md")

STATS = {"wine starts": 0, "wine seconds": 0.0, "show seconds": []}


# ---- Registry work through tarnreg.exe, as argument lists.

def put(step, reg_type, data):
    return ["set", str(step), str(reg_type), data.hex()]


def sz(step, text, reg_type=REG_SZ):
    return put(step, reg_type, (text + "\0").encode("utf-16-le"))


def dword(step, number):
    return put(step, REG_DWORD, number.to_bytes(4, "little"))


def pointing_at(address):
    """The six address-carrying values as a client pointed at ADDRESS holds them."""
    return (sz(1, address + ":7777:0") + sz(2, address + ":7777:0") + sz(3, address)
            + sz(4, "239.255.255.255:" + address) + sz(7, address) + sz(8, address))


def shown(value):
    """A registry value ([type, hex] from tarnreg) as the program shows its data."""
    reg_type, data = value[0], bytes.fromhex(value[1])
    if reg_type in (REG_SZ, REG_EXPAND_SZ):
        return data.decode("utf-16-le", "surrogatepass").split("\0")[0]
    if reg_type == REG_MULTI_SZ:
        return data.decode("utf-16-le", "surrogatepass").rstrip("\0").replace("\0", "\n")
    if reg_type == REG_DWORD and len(data) == 4:
        return str(int.from_bytes(data, "little"))
    return " ".join(f"{b:02x}" for b in data)


def composed(step, address, port):
    """What an apply hands to step STEP (1-8) for this address and port."""
    return {1: address + ":7777:0", 2: address + ":7777:0", 4: "239.255.255.255:" + address,
            5: port, 6: "1"}.get(step, address)


def as_stored(value, text):
    """TEXT as it lands in a value like VALUE, or None when it cannot."""
    if value and value[0] == REG_SZ:
        return text.strip(" ")
    if value and value[0] == REG_DWORD:
        try:
            number = int(text.strip(" "), 10)
        except ValueError:
            return None
        return str(number & 0xFFFFFFFF) if -2**31 <= number < 2**31 else None
    return None


def winpath(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def run_wine(exe, args, cwd=None, env=None):
    started = time.monotonic()
    done = subprocess.run(["wine", exe, *args], stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                          stderr=subprocess.PIPE, cwd=cwd, timeout=WINE_TIMEOUT,
                          env=dict(os.environ, **env) if env else None)
    STATS["wine starts"] += 1
    STATS["wine seconds"] += time.monotonic() - started
    return done, time.monotonic() - started


def reg(*commands):
    """Runs one tarnreg.exe with all COMMANDS; its printed documents, in order."""
    done, _ = run_wine(TARNREG_EXE, [word for command in commands for word in command])
    if done.returncode != 0:
        raise AssertionError(f"tarnreg {commands}: {done.returncode} {done.stderr!r}")
    return [json.loads(line) for line in done.stdout.decode("ascii").splitlines() if line.strip()]


SNAPSHOT, VALUES = ["snapshot"], ["values"]


# ---- The event log as Wine shows it: it keeps no event, but ReportEventW
# names the event's type and ID on the advapi channel and writes each of its
# strings to the eventlog channel, at the level of the event's type.

EVENT_DEBUG = {"WINEDEBUG": "-all,+eventlog,fixme+advapi"}
INFORMATION, ERROR, WARNING = 4, 1, 2
LEVELS = {INFORMATION: "trace", ERROR: "err", WARNING: "warn"}
ESCAPES = {"n": "\n", "r": "\r", "t": "\t", '"': '"', "\\": "\\"}


def unescaped(text):
    """A string as Wine's debugstr_w prints it, back as it was: \\, \\", \\n, \\r, \\t, \\xxxx."""
    out, i = [], 0
    while i < len(text):
        if text[i] == "\\" and text[i + 1] in ESCAPES:
            out.append(ESCAPES[text[i + 1]])
            i += 2
        elif text[i] == "\\":
            out.append(chr(int(text[i + 1:i + 5], 16)))
            i += 5
        else:
            out.append(text[i])
            i += 1
    return "".join(out)


def reported_events(stderr):
    """Each ReportEventW call in a Wine process's standard error, in order, as
    {"type", "id", "count", "levels", "strings"}."""
    events = []
    for line in stderr.splitlines():
        head = re.match(r"[0-9a-f]+:fixme:advapi:ReportEventW \((.*)\): stub$", line)
        if head:
            fields = head.group(1).split(",")
            events.append({"type": int(fields[1], 16), "id": int(fields[3], 16), "count": int(fields[5], 16),
                           "levels": set(), "strings": []})
            continue
        string = re.match(r'[0-9a-f]+:(trace|err|warn):eventlog:ReportEventW L"(.*)"$', line)
        if string and events:
            events[-1]["levels"].add(string.group(1))
            events[-1]["strings"].append(unescaped(string.group(2)))
    return events


def version():
    """The version the programs are built as: the one project() in CMakeLists.txt gives."""
    with open(os.path.join(ROOT, "CMakeLists.txt")) as f:
        return re.search(r"project\(Hostwend VERSION ([0-9.]+)", f.read()).group(1)


class Run:
    def __init__(self, done, seconds, json_wanted):
        self.code = done.returncode
        self.stdout = done.stdout
        self.stderr = done.stderr.decode("utf-8")
        self.seconds = seconds
        self.doc = None
        if json_wanted and self.stdout:
            # One document, ASCII only: anything else is escaped.
            self.doc = json.loads(self.stdout.decode("ascii"))

    def __repr__(self):
        return f"exit {self.code}, stdout {self.stdout[:600]!r}, stderr {self.stderr[:300]!r}"


class CliTest(unittest.TestCase):
    maxDiff = None

    @classmethod
    def setUpClass(cls):
        cls.started = time.monotonic()
        cls.work = tempfile.mkdtemp(prefix="hostwend-cli-test.")
        # A copy of its own, so that no HWD.ini lies beside it unless a case puts one there.
        cls.bin = os.path.join(cls.work, "bin")
        os.mkdir(cls.bin)
        cls.exe = shutil.copy(CLI_EXE, cls.bin)

    @classmethod
    def tearDownClass(cls):
        try:
            reg(["wipe"])
        finally:
            shutil.rmtree(cls.work, ignore_errors=True)
        shows = STATS["show seconds"] or [0.0]
        print(f"\nwine.cli: {time.monotonic() - cls.started:.1f} s wall, {STATS['wine starts']} Wine starts, "
              f"{STATS['wine seconds'] / max(1, STATS['wine starts']):.2f} s each on average; "
              f"hostwend-cli show: {min(shows):.2f}-{max(shows):.2f} s", file=sys.stderr)

    def profile(self, name, text):
        path = os.path.join(self.work, name)
        with open(path, "w", newline="") as f:
            f.write("[SETUP]\r\n" + text)
        return path

    def cli(self, *args, cwd=None, env=None):
        done, seconds = run_wine(self.exe, list(args), cwd=cwd, env=env)
        run = Run(done, seconds, any(arg.lower() == "--json" for arg in args))
        if "show" in args:
            STATS["show seconds"].append(seconds)
        # One line per warning or error, each saying whose it is.
        for line in run.stderr.splitlines():
            self.assertTrue(line.startswith(PREFIX) or WINE_DEBUG_LINE.match(line), f"{line!r} in {run}")
        return run

    def assertValuesShown(self, values, registry, run):
        """show's "values" agree with the registry, value by value."""
        self.assertEqual([v["step"] for v in values], list(range(1, 9)), run)
        for entry, (key, name), now in zip(values, STEPS, registry):
            self.assertEqual((entry["key"], entry["view"], entry["value"]), (HKLM + key, "32-bit", name), run)
            self.assertEqual((entry["type"], entry["data"]),
                             (TYPE_NAMES[now[0]], shown(now)) if now else (None, None), f"step {entry['step']}")

    # ---- show

    def test_show_agrees_with_the_registry(self):
        profile = self.profile("show.ini", "LanAddress=10.1.1.1\r\nVPNAddress=VPN.Example\r\n"
                                           "VsatAddress=10.3.3.3\r\nBcastUDPPort=7777\r\n")
        at_vpn = pointing_at("vpn.example") + dword(5, 7777)
        odd = ("tab\there \"q\" \\ \u00e9 \u00fc \u4e2d \U0001f600", "ctl \x01\x1f\x7f end")
        # A registry state, then the shows on it: (arguments, held_address, points_at).
        table = [
            ("complete, pointing at VPN", [["seed"], at_vpn], [
                (["--profile", profile], "vpn.example", "vpn"),
                ([], "vpn.example", None),  # no HWD.ini beside the program
            ]),
            ("one value elsewhere", [["seed"], at_vpn, sz(8, "10.9.9.9")], [(["--profile", profile], None, "mixed")]),
            ("pointing at no profile type", [["seed"], pointing_at("10.7.7.7")],
             [(["--profile", profile], "10.7.7.7", "none")]),
            ("partial client", [["seed"], at_vpn, ["delete-value", "2"], ["delete-key", ODBC_KEY]],
             [(["--profile", profile], None, "none")]),
            ("no client at all", [["wipe"]], [(["--profile", profile], None, "no client"), ([], None, "no client")]),
            ("odd text and types", [["seed"], sz(1, odd[0]), sz(2, "%SystemRoot%\\x", REG_EXPAND_SZ),
                                    dword(5, 0xFFFFFFFF), put(6, REG_BINARY, b"\x00\xff\x10"),
                                    put(7, REG_MULTI_SZ, "a\0b\0\0".encode("utf-16-le")), sz(8, odd[1])],
             [(["--profile", profile], None, "mixed")]),  # "old" in step 3, odd text in step 8
        ]
        for name, setup, runs in table:
            with self.subTest(name):
                # Each state begins with a look at what the shows before it left.
                docs = reg(SNAPSHOT, *setup, SNAPSHOT, VALUES)
                if name != table[0][0]:
                    self.assertEqual(docs[0], last_snapshot, "show changed the registry")
                last_snapshot, registry = docs[1], docs[2]["values"]
                for args, held, points_at in runs:
                    run = self.cli("--json", *args, "show")
                    self.assertEqual(run.code, 0, run)
                    doc = run.doc
                    self.assertEqual((doc["command"], doc["exit_code"], doc["error"], doc["warnings"]),
                                     ("show", 0, None, []), run)
                    self.assertEqual(doc["profile_found"], bool(args), run)
                    self.assertEqual((doc["held_address"], doc["points_at"]), (held, points_at), run)
                    self.assertValuesShown(doc["values"], registry, run)
                    if name == "odd text and types":
                        self.assertEqual(doc["values"][0]["data"], odd[0])
                        self.assertEqual(doc["values"][7]["data"], odd[1])
        # Text mode: results on stdout as UTF-8, nothing on stderr.
        run = self.cli("--profile", profile, "show")
        self.assertEqual((run.code, run.stderr), (0, ""), run)
        text = run.stdout.decode("utf-8")
        for _, name in STEPS:
            self.assertIn(name, text)
        self.assertIn("\u4e2d \U0001f600", text)
        self.assertEqual(reg(SNAPSHOT)[0], last_snapshot, "show changed the registry")

    # ---- check, then apply: the one predicts the other

    def test_check_predicts_apply(self):
        # (name, type, profile lines, registry damage, exit code, a pattern for each warning)
        table = [
            ("lan, port value as text", "lan", "LanAddress=10.1.1.1\r\nBcastUDPPort=7777\r\n",
             [sz(5, "1")], 0, []),
            ("vpn, host name in spaces", "VPN", "VPNAddress=  vpn.example  \r\nBcastUDPPort= 8888 \r\n", [], 0, []),
            ("vsat", "vsat", "VsatAddress=10.3.3.3\r\nBcastUDPPort=7777\r\n", [], 0, []),
            ("others, warned address and port", "Others", "OthersAddress=10.0.0.300\r\nBcastUDPPort=70000\r\n",
             [], 0, [r"^OthersAddress in .* is neither an IPv4 address nor a host name: 10\.0\.0\.300$",
                     r"^BcastUDPPort in .* is not a port number from 1 to 65535: 70000$"]),
            ("lan, a leading zero warned", "lan", "LanAddress=010.0.0.1\r\nBcastUDPPort=7777\r\n", [], 0,
             [r"^LanAddress in .* has a number with a leading zero, which Windows reads as octal: 010\.0\.0\.1$"]),
            ("BcastUDPPort missing", "vsat", "VsatAddress=10.3.3.4\r\nBcastUDPPort=7777\r\n",
             [["delete-value", "5"]], 25, []),
            ("Remote-Addr is REG_EXPAND_SZ", "lan", "LanAddress=10.1.1.2\r\nBcastUDPPort=7777\r\n",
             [sz(1, "old", REG_EXPAND_SZ)], 21, []),
            ("BcastTCPAddress is REG_DWORD", "lan", "LanAddress=10.1.1.3\r\nBcastUDPPort=7777\r\n",
             [dword(3, 5)], 23, []),
            ("ODBC data source key missing", "vpn", "VPNAddress=10.2.2.5\r\nBcastUDPPort=7777\r\n",
             [["delete-key", ODBC_KEY]], 28, []),
        ]
        # Each tarnreg call first reads what the previous case's apply left.
        previous = None
        for index, (name, kind, lines, damage, exit_code, warnings) in enumerate(table):
            path = self.profile(f"check-{index}.ini", lines)
            docs = reg(*([SNAPSHOT, VALUES] if previous else []), ["seed"], *damage, SNAPSHOT, VALUES)
            if previous:
                with self.subTest(previous[0]):
                    self.verify_apply(*previous[1:], docs[0]["snapshot"], docs[1]["values"])
            previous = None
            with self.subTest(name):
                before, registry = docs[-2]["snapshot"], docs[-1]["values"]
                # A relative --profile is taken from the current directory.
                check = self.cli("--json", "--profile", os.path.basename(path), "check", kind, cwd=self.work)
                self.assertEqual(reg(SNAPSHOT)[0]["snapshot"], before, "check changed the registry")
                self.assertEqual(check.doc["profile"] if check.doc else None, winpath(path), check)
                apply = self.cli("--json", "--profile", path, "apply", kind)
                previous = (name, check, apply, before, registry, lines, exit_code, warnings)
        if previous:
            docs = reg(SNAPSHOT, VALUES)
            with self.subTest(previous[0]):
                self.verify_apply(*previous[1:], docs[0]["snapshot"], docs[1]["values"])

    def verify_apply(self, check, apply, before, registry, lines, exit_code, warnings, after, now):
        kind = check.doc["type"] if check.doc else "?"
        self.assertEqual((check.code, apply.code), (exit_code, exit_code), f"{check}\n{apply}")
        fields = dict(line.split("=", 1) for line in lines.strip().split("\r\n"))
        address, port = fields[ADDRESS_KEYS[kind]].strip(" ").upper(), fields["BcastUDPPort"].strip(" ")
        for run, command in ((check, "check"), (apply, "apply")):
            doc = run.doc
            self.assertEqual((doc["command"], doc["address"], doc["port"], doc["exit_code"], doc["profile_found"]),
                             (command, address, port, exit_code, True), run)
            self.assertEqual(len(doc["warnings"]), len(warnings), run)
            for warning, pattern in zip(doc["warnings"], warnings):
                self.assertRegex(warning, pattern, run)
            self.assertEqual(doc["report"] is None, exit_code != 0, run)
            if command == "apply" and exit_code == 0:
                self.assertIn(f"( {address} ) applied.", doc["report"])
            self.assertEqual(doc["error"] is None, exit_code == 0, run)
            self.assertEqual(len(run.stderr.splitlines()), len(warnings) + (exit_code != 0), run)
            if exit_code:
                key, name = STEPS[exit_code - 21]
                self.assertTrue(doc["error"].startswith(f"step {exit_code - 20} {name} in {REGEDIT}{key[9:]}: "), run)
                self.assertEqual(run.stderr.splitlines()[-1], PREFIX + doc["error"], run)
        failing = exit_code - 20 if exit_code else None
        # Same steps, same data now, same new data; "would be" becomes done.
        self.assertEqual([s["step"] for s in check.doc["steps"]], [s["step"] for s in apply.doc["steps"]])
        for c, a in zip(check.doc["steps"], apply.doc["steps"]):
            n = c["step"]
            value = registry[n - 1]
            kept = n == 6 and kind != "vsat"  # left as it is, and said so
            expected_new = ((shown(value) if value else None) if kept
                            else as_stored(value, composed(n, address, port)) or composed(n, address, port))
            self.assertEqual((c["key"], c["value"]), (HKLM + STEPS[n - 1][0], STEPS[n - 1][1]))
            self.assertEqual((c["type"], c["data"], c["new_data"]),
                             (TYPE_NAMES[value[0]] if value else None, shown(value) if value else None,
                              expected_new), f"check step {n}")
            # check goes on past the failure; apply stops there.
            beyond = bool(failing) and n > failing
            state = ("not for this type" if kept else "failed" if n == failing else "would be written")
            self.assertEqual((c["outcome"], c["after_failure"]), (state, beyond and not kept), f"check step {n}")
            self.assertEqual((a["outcome"], a["after_failure"]),
                             ("not reached" if beyond and not kept else state.replace("would be written", "written"),
                              False),
                             f"apply step {n}")
            for field in ("key", "view", "value", "type", "data") + (() if beyond else
                                                                     ("new_data", "error", "reason", "prompt")):
                self.assertEqual(a[field], c[field], f"step {n} {field}")
            self.assertEqual((c["error"] is None, c["prompt"] is None), (n != failing, n != failing))
        # The registry: the written steps hold their new data in their own type; nothing else moved.
        written = {s["step"]: s["new_data"] for s in apply.doc["steps"] if s["outcome"] == "written"}
        for n in range(1, 9):
            if n in written:
                self.assertEqual((now[n - 1][0], shown(now[n - 1])), (registry[n - 1][0], written[n]), f"step {n}")
            else:
                self.assertEqual(now[n - 1], registry[n - 1], f"step {n} should be untouched")
        moved = {f"32|{STEPS[n - 1][0]}|{STEPS[n - 1][1]}" for n in written}
        self.assertEqual(after["keys"], before["keys"])
        self.assertEqual({k: v for k, v in after["values"].items() if k not in moved},
                         {k: v for k, v in before["values"].items() if k not in moved})

    # ---- outcomes that write nothing

    def test_refusals_and_usage_errors_write_nothing(self):
        missing = os.path.join(self.work, "no-such-dir", "HWD.ini")
        blank = self.profile("blank.ini", "LanAddress=   \r\nBcastUDPPort=7777\r\n")
        no_port = self.profile("noport.ini", "VsatAddress=10.3.3.3\r\n")
        too_long = self.profile("long.ini", "OthersAddress=" + "1" * 255 + "\r\nBcastUDPPort=7777\r\n")
        usage = "Usage: hostwend-cli"
        # (arguments, exit code, JSON document expected, where usage text goes)
        table = [
            (["--json", "check", "lan"], 2, True, None),  # no HWD.ini beside the program
            (["--json", "--profile", winpath(missing), "apply", "vsat"], 2, True, None),
            (["--json", "--profile", blank, "apply", "lan"], 3, True, None),
            (["--JSON", "--Profile", no_port, "Apply", "vsat"], 3, True, None),
            (["--json", "--profile", too_long, "apply", "others"], 3, True, None),
            (["--json", "frobnicate"], 87, False, "stderr"),
            (["--json", "--profile", blank, "apply", "satellite"], 87, False, "stderr"),
            (["--json", "--force", "apply", "lan"], 87, False, "stderr"),
            (["--json", "apply"], 87, False, "stderr"),
            (["--json", "apply", "lan", "--profile"], 87, False, "stderr"),
            # PowerShell drops an empty $p from "--profile $p --json": the option is no path.
            (["--profile", "--json", "apply", "vpn"], 87, False, "stderr"),
            (["--profile", "/?", "show"], 87, False, "stderr"),
            (["--help"], 0, False, "stdout"),
            (["/?"], 0, False, "stdout"),
        ]
        before = reg(["seed"], SNAPSHOT)[0]
        # None of these writes, so they may run side by side.
        with concurrent.futures.ThreadPoolExecutor(max_workers=3) as pool:
            runs = list(pool.map(lambda row: self.cli(*row[0]), table))
        for (args, exit_code, has_json, usage_on), run in zip(table, runs):
            with self.subTest(" ".join(args)):
                self.assertEqual(run.code, exit_code, run)
                if has_json:
                    doc = run.doc
                    self.assertEqual((doc["exit_code"], doc["steps"], doc["report"], doc["port"]),
                                     (exit_code, [], None, None), run)
                    self.assertEqual(doc["profile_found"], exit_code != 2, run)
                    self.assertTrue(doc["error"], run)
                    self.assertIn(doc["error"], run.stderr)
                else:
                    self.assertEqual(run.stdout == b"", usage_on == "stderr", run)
                    if usage_on == "stderr":
                        self.assertEqual(len(run.stderr.splitlines()), 2, run)
                        self.assertIn("hostwend-cli --help", run.stderr, run)
                    else:
                        self.assertIn(usage, run.stdout.decode("utf-8"), run)
        self.assertEqual(reg(SNAPSHOT)[0], before, "a refused command changed the registry")

    # ---- a lock nobody else can take, and names no code page spells

    def test_a_name_not_made_by_a_hostwend_is_unusable_at_once(self):
        path = self.profile("squat.ini", "LanAddress=10.30.0.1\r\nBcastUDPPort=7777\r\n")
        before = reg(["seed"], SNAPSHOT)[0]
        # (tarnreg command, what it prints once it holds the name, what the refusal says: a pattern)
        no_owner = re.escape("was not made by a Hostwend (made with no owner)")
        table = [
            (["squat"], {"squatting": True},
             re.escape("held by an object of another kind, not made by a Hostwend")),
            # Made with default security, as any other program would: under
            # Wine it has no owner at all. Free, an apply that did not check
            # would take it and write; taken, it would wait 30 s.
            (["hold-mutex"], {"holding": True}, no_owner),
            (["hold-mutex", "taken"], {"holding": True}, no_owner),
            # Owned by the user, as Windows owns a standard user's: the account by name, COMPUTER\user.
            (["hold-mutex", "mine"], {"holding": True},
             re.escape("was not made by a Hostwend (made by ") + r"[^\\ ]+\\" + re.escape(getpass.getuser() + ")")),
        ]
        for command, printed, reason in table:
            with self.subTest(" ".join(command)):
                with subprocess.Popen(["wine", TARNREG_EXE, *command], stdin=subprocess.PIPE,
                                      stdout=subprocess.PIPE, stderr=subprocess.PIPE) as squatter:
                    try:
                        ready, _, _ = select.select([squatter.stdout], [], [], 20)
                        self.assertTrue(ready, "the squatter did not take the name")
                        self.assertEqual(json.loads(squatter.stdout.readline()), printed)
                        refused = self.cli("--json", "--profile", path, "apply", "lan")
                    finally:
                        squatter.stdin.close()  # its cue to let the name go
                        try:
                            squatter.wait(timeout=10)
                        except subprocess.TimeoutExpired:
                            squatter.kill()  # by its PID
                            squatter.wait()
                self.assertEqual(refused.code, 6, refused)
                self.assertLess(refused.seconds, 10, "an unusable lock was waited for as a busy one")
                self.assertRegex(refused.doc["error"], reason)
                self.assertIn(PREFIX + refused.doc["error"], refused.stderr)
                self.assertEqual(reg(SNAPSHOT)[0], before, "an apply without its lock changed the registry")
        applied = self.cli("--json", "--profile", path, "apply", "lan")
        self.assertEqual(applied.code, 0, applied)

    def test_a_profile_path_the_code_page_cannot_spell_is_read(self):
        name = "\u4e2d\u6587-\u0141\u00f3d\u017a"
        folder = os.path.join(self.work, name)
        os.makedirs(folder, exist_ok=True)
        path = os.path.join(folder, name + ".ini")
        with open(path, "w", newline="") as f:
            f.write("[SETUP]\r\nVPNAddress=10.40.0.1\r\nBcastUDPPort=7777\r\n")
        reg(["seed"])
        run = self.cli("--json", "--profile", path, "apply", "vpn")
        self.assertEqual(run.code, 0, run)
        self.assertEqual(run.doc["profile"], winpath(path))
        self.assertEqual(shown(reg(VALUES)[0]["values"][7]), "10.40.0.1")

    # ---- the event log

    def assertEvent(self, event, event_type, event_id, head, values=None, warnings=None):
        """One event: its type, ID and level, the ten strings every event
        has (account and computer as Wine names them), then the eight
        values' key, name, data before and after, or a refusal's warnings."""
        self.assertEqual((event["type"], event["id"], event["levels"]),
                         (event_type, event_id, {LEVELS[event_type]}), event)
        self.assertEqual(event["count"], len(event["strings"]), event)
        strings = event["strings"]
        account, computer = strings[2], strings[3]
        self.assertEqual(account, computer + "\\" + getpass.getuser(), event)
        self.assertEqual(strings[:2] + strings[4:10], head, event)
        expected_values = [warnings] if warnings is not None else [] if values is None else [
            part for (key, name), (before, after) in zip(STEPS, values) for part in (REGEDIT + key[9:], name, before, after)]
        self.assertEqual(strings[10:], expected_values, event)

    def test_each_apply_leaves_one_event_and_show_and_check_none(self):
        ok = self.profile("event.ini", "LanAddress=10.50.0.1\r\nBcastUDPPort=7777\r\n")
        blank = self.profile("event-blank.ini", "LanAddress=  \r\nBcastUDPPort=7777\r\n")
        # (arguments, registry damage, event type and ID or None, exit code,
        # step 1's data before as the event shows it, when not as stored)
        forged = "10.0.0.1\r\n2. Remote-Addr in HKEY_LOCAL_MACHINE - before: 1; after: 1"
        table = [
            (["--profile", ok, "apply", "lan"], [], (INFORMATION, 1000), 0, None),
            (["--profile", ok, "apply", "lan"], [["delete-value", "5"]], (ERROR, 1001), 25, None),
            # A value's line break forges no line of the event's text.
            (["--profile", ok, "apply", "lan"], [sz(1, forged)], (INFORMATION, 1000), 0,
             forged.replace("\r\n", "\\r\\n")),
            (["--profile", blank, "apply", "lan"], [], (WARNING, 1002), 3, None),
            (["--profile", ok, "check", "lan"], [["delete-value", "5"]], None, 25, None),
            (["--profile", ok, "show"], [], None, 0, None),
        ]
        for args, damage, kind, exit_code, first_before in table:
            with self.subTest(" ".join(args[2:]) + f" exit {exit_code}"):
                registry = reg(["seed"], *damage, VALUES)[0]["values"]
                run = self.cli("--json", *args, env=EVENT_DEBUG)
                self.assertEqual(run.code, exit_code, run)
                events = reported_events(run.stderr)
                if kind is None:
                    self.assertEqual(events, [], "show and check change nothing and write no event")
                    continue
                self.assertEqual(len(events), 1, run)
                doc = run.doc
                head = ["console", version(), "lan", "10.50.0.1" if args[1] == ok else "(blank)",
                        "7777" if args[1] == ok else "(not read)", winpath(args[1]),
                        doc["report"] if exit_code == 0 else doc["error"], str(exit_code)]
                values = None
                if kind[1] != 1002:
                    steps = {s["step"]: s for s in doc["steps"]}
                    values = [(shown(registry[n - 1]) if registry[n - 1] else "(missing)",
                               "not for this type" if n not in steps
                               else steps[n]["new_data"] if steps[n]["outcome"] == "written"
                               else "failed: " + steps[n]["reason"] if steps[n]["outcome"] == "failed"
                               else steps[n]["outcome"]) for n in range(1, 9)]
                    self.assertEqual(values[4][1], "7777" if exit_code == 0 else "failed: the value is missing")
                    if first_before:
                        self.assertEqual(shown(registry[0]), forged)
                        values[0] = (first_before, values[0][1])
                self.assertEvent(events[0], *kind, head, values, "(not checked)" if kind[1] == 1002 else None)

        with self.subTest("the same apply again"):
            reg(["seed"])
            first = self.cli("--json", "--profile", ok, "apply", "lan", env=EVENT_DEBUG)
            again = self.cli("--json", "--profile", ok, "apply", "lan", env=EVENT_DEBUG)
            self.assertEqual((first.code, again.code), (0, 0), again)
            self.assertEqual(len(reported_events(first.stderr)), 1, first)
            self.assertEqual(reported_events(again.stderr), [], "an apply that changes nothing records nothing")
            self.assertEqual([s["outcome"] for s in again.doc["steps"]], ["unchanged"] * 5 + ["not for this type"]
                             + ["unchanged"] * 2, again)

    def test_the_window_leaves_one_event_for_its_apply_and_none_for_cancel(self):
        # The window's own Wine test works it; its windows write to the
        # standard error of that test, which this one reads.
        done, _ = run_wine(APPLY_TESTS_EXE, ["--gtest_brief=1", "--gtest_filter=ApplyEndToEnd.CancelWritesNothing:"
                                             "ApplyEndToEnd.AFailedStepShowsOnlyItsOwnMessage"],
                           env=dict(EVENT_DEBUG, HOSTWEND_EXE=winpath(WINDOW_EXE)))
        self.assertEqual(done.returncode, 0, done.stdout.decode("utf-8", "replace"))
        # The failed step's test also runs a console apply while the box is open.
        events = [e for e in reported_events(done.stderr.decode("utf-8", "replace")) if e["strings"][:1] == ["window"]]
        self.assertEqual(len(events), 1, events)
        strings = events[0]["strings"]
        self.assertTrue(strings[7].endswith("\\HWD.ini"), strings)
        # The broadcast server key is missing: steps 1 and 2 written, step 3 failed.
        after = ["10.1.2.3:7777:0", "10.1.2.3:7777:0",
                 "failed: the key is missing or cannot be opened to query and set values", "not reached",
                 "not reached", "not for this type", "not reached", "not reached"]
        before = ["old", "old", "(missing)", "(missing)", "(missing)", "(missing)", "old", "old"]
        self.assertEvent(events[0], ERROR, 1001,
                         ["window", version(), "lan", "10.1.2.3", "7777", strings[7],
                          "Error occured while updating - Bcast Address (1 of 2) ", "23"], list(zip(before, after)))

    # ---- two applies at once

    def test_two_applies_at_once_leave_one_whole_set(self):
        sets = {"10.20.0.1": "1111", "10.20.0.2": "2222"}
        profiles = [self.profile(f"both-{a}.ini", f"LanAddress={a}\r\nBcastUDPPort={p}\r\n") for a, p in sets.items()]
        seeded = reg(["seed"], VALUES)[0]["values"]
        # Both start while the apply lock is taken, so both wait on it and then race for it.
        with subprocess.Popen(["wine", TARNREG_EXE, "lock", "2", "1500", "values", "unlock"],
                              stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=subprocess.PIPE) as holder:
            try:
                ready, _, _ = select.select([holder.stdout], [], [], 20)
                self.assertTrue(ready, "the lock holder did not take the lock")
                self.assertEqual(json.loads(holder.stdout.readline()), {"locked": True})
                with concurrent.futures.ThreadPoolExecutor(max_workers=2) as pool:
                    applies = list(pool.map(lambda p: self.cli("--json", "--profile", p, "apply", "lan"), profiles))
                holder.wait(timeout=WINE_TIMEOUT)
            finally:
                if holder.poll() is None:
                    holder.kill()
                    holder.wait()
            self.assertEqual(holder.returncode, 0, holder.stderr.read())
            held = [json.loads(line) for line in holder.stdout.read().decode("ascii").splitlines()]
        self.assertEqual(held[0]["lock"], {"running": 2, "ended": 0}, "an apply did not wait for the lock")
        self.assertEqual(held[1]["values"], seeded, "an apply wrote while the lock was held")
        for run in applies:
            self.assertEqual(run.code, 0, run)
            # Said once, at once: not only after the wait.
            self.assertEqual(run.stderr.count("waiting for another apply, up to 30 seconds"), 1, run)
        final = [shown(v) for v in reg(VALUES)[0]["values"]]
        # The registry holds one apply's whole set; the later apply found the
        # earlier one's whole set, the earlier one the seeded client.
        holds = [all(final[s["step"] - 1] == s["new_data"] for s in run.doc["steps"]) for run in applies]
        self.assertEqual(sorted(holds), [False, True], f"the registry holds a mixture: {final}")
        first, second = (applies[1], applies[0]) if holds[0] else (applies[0], applies[1])
        self.assertEqual([s["data"] for s in first.doc["steps"]],
                         [shown(seeded[s["step"] - 1]) for s in first.doc["steps"]])
        self.assertEqual([s["data"] for s in second.doc["steps"]], [s["new_data"] for s in first.doc["steps"]])

    def test_eight_applies_at_once_from_two_profiles_leave_one_whole(self):
        sets = {"10.21.0.1": "1111", "10.21.0.2": "2222"}
        profiles = [self.profile(f"eight-{a}.ini", f"LanAddress={a}\r\nBcastUDPPort={p}\r\n") for a, p in sets.items()]
        reg(["seed"])
        # All eight start while the lock is taken, wait on it, and race for it when it is let go.
        with subprocess.Popen(["wine", TARNREG_EXE, "lock", "8", "1500", "unlock"],
                              stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=subprocess.PIPE) as holder:
            try:
                ready, _, _ = select.select([holder.stdout], [], [], 20)
                self.assertTrue(ready, "the lock holder did not take the lock")
                self.assertEqual(json.loads(holder.stdout.readline()), {"locked": True})
                with concurrent.futures.ThreadPoolExecutor(max_workers=8) as pool:
                    applies = list(pool.map(lambda p: self.cli("--json", "--profile", p, "apply", "lan"),
                                            profiles * 4))
                holder.wait(timeout=WINE_TIMEOUT)
            finally:
                if holder.poll() is None:
                    holder.kill()
                    holder.wait()
            held = json.loads(holder.stdout.readline())
        self.assertEqual(held["lock"], {"running": 8, "ended": 0}, "an apply did not wait for the lock")
        for run in applies:
            self.assertEqual(run.code, 0, run)
        final = [shown(v) for v in reg(VALUES)[0]["values"]]
        # What each profile's apply leaves: the same for its four runs.
        wanted = {}
        for path, run in zip(profiles * 4, applies):
            # A run after one of the same profile finds its values in place.
            written = {s["step"]: s["new_data"] for s in run.doc["steps"] if s["outcome"] in ("written", "unchanged")}
            self.assertEqual(wanted.setdefault(path, written), written, run)
        whole = [all(final[step - 1] == data for step, data in written.items()) for written in wanted.values()]
        self.assertEqual(sorted(whole), [False, True], f"the registry holds a mixture: {final}")

    # ---- a crash

    def test_a_crash_ends_at_once_with_exit_code_1_and_its_line(self):
        path = self.profile("crash.ini", "LanAddress=10.60.0.1\r\nBcastUDPPort=7777\r\n")
        before = reg(["seed"], SNAPSHOT)[0]
        with subprocess.Popen(["wine", TARNREG_EXE, "lock", "1", "20000", "unlock"], stdin=subprocess.DEVNULL,
                              stdout=subprocess.PIPE, stderr=subprocess.PIPE) as holder:
            try:
                ready, _, _ = select.select([holder.stdout], [], [], 20)
                self.assertTrue(ready, "the lock holder did not take the lock")
                self.assertEqual(json.loads(holder.stdout.readline()), {"locked": True})
                # Waiting its turn, the apply runs its own code with its handlers set.
                with subprocess.Popen(["wine", self.exe, "--profile", path, "apply", "lan"],
                                      stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                                      stderr=subprocess.PIPE) as apply:
                    try:
                        ready, _, _ = select.select([apply.stderr], [], [], 20)
                        self.assertTrue(ready, "the apply did not say that it waits")
                        waiting = apply.stderr.readline().decode("utf-8")
                        self.assertEqual(reg(["crash-cli"])[0], {"crashed": 1})
                        stdout, stderr = apply.communicate(timeout=10)
                    finally:
                        if apply.poll() is None:
                            apply.kill()
                            apply.wait()
                holder.wait(timeout=WINE_TIMEOUT)
            finally:
                if holder.poll() is None:
                    holder.kill()
                    holder.wait()
        self.assertEqual(apply.returncode, 1, stderr)
        self.assertEqual(stdout, b"")
        self.assertEqual(waiting + stderr.decode("utf-8"),
                         PREFIX + "waiting for another apply, up to 30 seconds\r\n"
                         + PREFIX + "internal error; some values may already be written: run show\r\n")
        self.assertEqual(reg(SNAPSHOT)[0], before, "a crashed apply changed the registry")

    # ---- a profile value the client cannot store, and failures in one line each

    def test_a_port_the_client_cannot_store_is_refused_before_any_write(self):
        path = self.profile("port-77a7.ini", "VsatAddress=10.3.3.3\r\nBcastUDPPort=77a7\r\n")
        before = reg(["seed"], SNAPSHOT)[0]  # the client keeps the port as a REG_DWORD
        apply = self.cli("--json", "--profile", path, "apply", "vsat")
        check = self.cli("--json", "--profile", path, "check", "vsat")
        docs = reg(SNAPSHOT, sz(5, "1"), VALUES)
        self.assertEqual(docs[0], before, "a refused apply wrote")
        as_text = self.cli("--json", "--profile", path, "apply", "vsat")  # the port kept as text
        now = reg(VALUES)[0]["values"]

        refusal = (f"step 5 BcastUDPPort in {REGEDIT}TARN\\TARN6\\TARN Manager\\Client TCP-IP\\BroadcastServer "
                   f"holds a number (REG_DWORD), and BcastUDPPort in {winpath(path)} is not a whole number it can "
                   f"hold: 77a7; nothing was written")
        for run in (apply, check):
            self.assertEqual((run.code, run.doc["error"]), (3, refusal), run)
            self.assertEqual(run.stderr.splitlines()[-1], PREFIX + refusal, run)
        self.assertEqual(apply.doc["steps"], [], apply)
        self.assertEqual([s["outcome"] for s in check.doc["steps"]],
                         ["would be written"] * 4 + ["failed"] + ["would be written"] * 3, check)
        self.assertEqual((as_text.code, now[4]), (0, [REG_SZ, "77A7\0".encode("utf-16-le").hex()]), as_text)

    def test_each_failure_is_one_line_that_names_its_setting(self):
        path = self.profile("one-line.ini", "LanAddress=10.4.4.4\r\nVsatAddress=10.4.4.5\r\nBcastUDPPort=7777\r\n")
        # The window's words, which the JSON keeps beside the line.
        prompts = {2: "Error occured while updating - UDP Remote Address \r\n- Contact the Software Vendor",
                   6: "Error occured while updating Bcast Address (2 of 2)",
                   8: "Error occured while updating ODBC IPAddress under \\SOFTWARE\\ODBC\\ODBC.INI\\TARN INT Database"}
        for step, prompt in prompts.items():
            with self.subTest(step=step):
                reg(["seed"], ["delete-value", str(step)])
                run = self.cli("--JSON", "--profile", path, "apply", "vsat")
                key, name = STEPS[step - 1]
                line = f"step {step} {name} in {REGEDIT}{key[9:]}: the value is missing"
                self.assertEqual((run.code, run.doc["error"]), (20 + step, line + "; nothing after it was written"), run)
                self.assertEqual(run.stderr.splitlines(), [PREFIX + run.doc["error"]], run)
                failed = run.doc["steps"][step - 1]
                self.assertEqual((failed["error"], failed["prompt"]), (line, prompt), run)
                # No string but the window's own prompt holds a line break.
                texts = [run.doc["error"]] + [v for s in run.doc["steps"] for k, v in s.items()
                                              if isinstance(v, str) and k != "prompt"]
                self.assertFalse([t for t in texts if "\r" in t or "\n" in t], run)

        # Two values missing: check names both in one round, with the first one's exit code.
        reg(["seed"], ["delete-value", "3"], ["delete-value", "7"])
        check = self.cli("--json", "--profile", path, "check", "lan")
        text = self.cli("--profile", path, "check", "lan")
        for run in (check, text):
            self.assertEqual(run.code, 23, run)
            self.assertEqual([line.split(" in ")[0] for line in run.stderr.splitlines()],
                             [PREFIX + "step 3 BcastTCPAddress", PREFIX + "step 7 DataBase-IPAddress"], run)
        self.assertEqual([(s["outcome"], s["after_failure"]) for s in check.doc["steps"]],
                         [("would be written", False)] * 2 + [("failed", False)] +
                         [("would be written", True)] * 2 + [("not for this type", False)] +
                         [("failed", True), ("would be written", True)], check)
        # Step 6 in the text as well, its number as regedit shows one, at the path regedit shows.
        out = text.stdout.decode("utf-8")
        bcast = REGEDIT + BCAST[9:]
        self.assertIn(f"6. DisableTCPBcast in {bcast}\r\n   REG_DWORD 0 (0x00000000): not for this type, left as "
                      f"it is\r\n", out)
        self.assertIn("REG_DWORD 1 (0x00000001) -> 7777 (0x00001e61): would be written (after a failure)", out)
        view = "/reg:64" if WINDOWS_64 else "/reg:32"
        done, _ = run_wine("reg", ["query", bcast, "/v", "DisableTCPBcast", view])
        self.assertEqual(done.returncode, 0, f"regedit's path not found in the native view: {done.stderr!r}")

    # ---- the guide's examples against what the program writes

    def test_strict_refuses_a_warning_and_every_document_has_every_field(self):
        path = self.profile("strict.ini", "LanAddress=10.60.0.1\r\nBcastUDPPort=0\r\n")
        snapshot = reg(["seed"], SNAPSHOT)[0]
        warning = f"BcastUDPPort in {winpath(path)} is not a port number from 1 to 65535: 0"
        fields = {"command", "type", "profile", "profile_found", "address", "port", "held_address", "points_at",
                  "warnings", "values", "steps", "report", "reach", "last_apply", "error", "exit_code"}
        entry_fields = {"step", "key", "view", "value", "type", "data", "read", "new_data", "applied_data", "outcome",
                        "after_failure", "error", "reason", "prompt"}
        # (arguments, exit code): --strict refuses where the plain command warns.
        table = [(["apply", "lan", "--strict"], 3), (["check", "lan", "--strict"], 3), (["check", "lan"], 0),
                 (["show"], 0), (["apply", "lan"], 0)]
        for args, exit_code in table:
            with self.subTest(" ".join(args)):
                run = self.cli("--json", "--profile", path, *args)
                self.assertEqual(run.code, exit_code, run)
                self.assertEqual(set(run.doc), fields, run)
                for entry in (run.doc["steps"] or []) + (run.doc["values"] or []):
                    self.assertEqual(set(entry), entry_fields, run)
                if args[0] != "show":
                    self.assertEqual(run.doc["warnings"], [warning], run)
                    self.assertIn(PREFIX + "warning: " + warning, run.stderr)
                if exit_code:
                    self.assertEqual(reg(SNAPSHOT)[0], snapshot, "--strict wrote")

    # ---- undo

    def test_undo_puts_back_exactly_what_the_last_apply_changed(self):
        path = self.profile("undo.ini", "VsatAddress=10.70.0.1\r\nLanAddress=10.70.0.2\r\nBcastUDPPort=7777\r\n")
        # Set by hand: a host name in lower case, a suffix no apply writes; DisableTCPBcast 0.
        seeded = [["seed"], sz(1, "tarnsrv.corp.local:7777:0"), sz(2, "tarnsrv.corp.local:9999:1")]
        original = reg(*seeded, SNAPSHOT)[0]
        shown_before = self.cli("--json", "--profile", path, "show").doc["values"]
        nothing = self.cli("--json", "undo", env=EVENT_DEBUG)
        self.assertEqual(nothing.code, 10, "nothing on record yet")
        self.assertEqual(reported_events(nothing.stderr), [], "an undo with nothing to undo changes nothing")
        applied = self.cli("--json", "--profile", path, "apply", "vsat")
        self.assertEqual(applied.code, 0, applied)
        last = self.cli("--json", "show").doc["last_apply"]
        self.assertEqual((last["state"], last["type"], last["address"], last["undone"]),
                         ("recorded", "vsat", "10.70.0.1", False), last)
        check = self.cli("--json", "check", "undo")
        self.assertEqual((check.code, [s["outcome"] for s in check.doc["steps"]]),
                         (0, ["would be written"] * 8), check)
        self.assertNotEqual(reg(SNAPSHOT)[0], original, "check undo wrote")
        undo = self.cli("--json", "undo", env=EVENT_DEBUG)
        self.assertEqual((undo.code, [s["outcome"] for s in undo.doc["steps"]]), (0, ["written"] * 8), undo)
        self.assertEqual(reg(SNAPSHOT)[0], original, "undo left the client otherwise than it was")
        self.assertEqual(self.cli("--json", "--profile", path, "show").doc["values"], shown_before)
        events = reported_events(undo.stderr)
        self.assertEqual([(e["type"], e["id"], e["count"]) for e in events], [(INFORMATION, 1003, 42)], undo)
        self.assertEqual(events[0]["strings"][10 + 5 * 4 + 2:10 + 5 * 4 + 4], ["1", "0"], "DisableTCPBcast")
        again = self.cli("--json", "undo")
        self.assertEqual(again.code, 10, again)
        self.assertTrue(self.cli("--json", "show").doc["last_apply"]["undone"])

        with self.subTest("a value changed by hand"):
            reg(*seeded)
            self.assertEqual(self.cli("--profile", path, "apply", "lan").code, 0)
            changed = reg(sz(8, "elsewhere"), SNAPSHOT)[0]
            refused = self.cli("--json", "undo", env=EVENT_DEBUG)
            self.assertEqual(refused.code, 11, refused)
            self.assertEqual([s["outcome"] for s in refused.doc["steps"]][7], "changed since", refused)
            self.assertIn(f"{PREFIX}step 8 Server in {REGEDIT}ODBC\\ODBC.INI\\TARN INT Database changed since the "
                          f'apply: now REG_SZ "elsewhere", before REG_SZ "old", as the apply wrote it REG_SZ '
                          f'"10.70.0.2"', refused.stderr)
            self.assertEqual(reg(SNAPSHOT)[0], changed, "a refused undo wrote")
            events = reported_events(refused.stderr)
            self.assertEqual([(e["type"], e["id"], e["count"]) for e in events], [(WARNING, 1004, 58)], refused)
            self.assertEqual(events[0]["strings"][10 + 7 * 6 + 2:], ["changed since the apply", "elsewhere", "old",
                                                                     "10.70.0.2"], "step 8 as it stands")

        with self.subTest("an apply stopped at step 6, mended and run again, is undone whole"):
            reg(*seeded, ["delete-value", "6"])
            self.assertEqual(self.cli("--profile", path, "apply", "vsat").code, 26)
            reg(dword(6, 1))
            self.assertEqual(self.cli("--profile", path, "apply", "vsat").code, 0)
            undo = self.cli("--json", "undo")
            self.assertEqual(undo.code, 0, undo)
            # As before the first apply, with the value as mended.
            self.assertEqual(reg(SNAPSHOT)[0], reg(*seeded, dword(6, 1), SNAPSHOT)[0])

        with self.subTest("an apply stopped at step 8"):
            reg(*seeded, ["delete-key", ODBC_KEY])
            stopped_at = reg(SNAPSHOT)[0]
            self.assertEqual(self.cli("--profile", path, "apply", "vsat").code, 28)
            self.assertEqual(self.cli("undo").code, 0)
            self.assertEqual(reg(SNAPSHOT)[0], stopped_at)

    @unittest.skipUnless(os.path.exists(CLI32_EXE) and CLI_EXE != CLI32_EXE and WINDOWS_64 and RUNS_32_BIT,
                         "needs the 32-bit build and a kernel that runs 32-bit programs")
    def test_the_32_bit_program_undoes_an_apply_of_the_64_bit_one(self):
        path = self.profile("undo-32.ini", "OthersAddress=10.71.0.1\r\nBcastUDPPort=7777\r\n")
        original = reg(["seed"], SNAPSHOT)[0]
        self.assertEqual(self.cli("--profile", path, "apply", "others").code, 0)
        done, _ = run_wine(CLI32_EXE, ["undo"])
        self.assertEqual(done.returncode, 0, done.stderr)
        self.assertEqual(reg(SNAPSHOT)[0], original)

    def test_guide_examples_read_what_the_program_writes(self):
        with open(GUIDE, encoding="utf-8") as f:
            guide = f.read()
        blocks, block = [], []
        for line in guide.splitlines() + [""]:
            if line.startswith("    ") and line.strip():
                block.append(line.strip())
            elif block:
                blocks.append("\n".join(block))
                block = []
        scripts = [b for b in blocks if "hostwend-cli" in b and "$" in b]
        self.assertGreaterEqual(len(scripts), 6, "the guide's PowerShell examples went missing")
        used = set()
        for script in scripts:
            used |= set(re.findall(r"\$\w+(?:\.\w+)*\.([a-z][a-z_]*)\b", script))
            for names in re.findall(r"(?:Format-Table|Select-Object)\s+([\w, ]+)", script):
                used |= {n.strip() for n in names.split(",") if re.fullmatch(r"[a-z_]+", n.strip())}
            if "ConvertFrom-Json" in script:
                self.assertRegex(script, r"if \((-not )?\$json\)", f"no JSON after a usage error:\n{script}")
        detection = next(b for b in scripts if "$differing" in b)
        self.assertIn("Where-Object { $_.data -ne $_.new_data }", detection)
        self.assertIn("$check.exit_code -eq 0 -and $differing.Count -eq 0", detection)

        def detected(doc):
            """The detection script on DOC: PowerShell's -ne compares text without regard to case."""
            fold = lambda v: v.lower() if isinstance(v, str) else v
            return doc["exit_code"] == 0 and all(fold(s["data"]) == fold(s["new_data"]) for s in doc["steps"])

        path = self.profile("guide.ini", "LanAddress=lan.example\r\nVsatAddress=10.5.5.5\r\nBcastUDPPort=7777\r\n")
        reg(["seed"])
        runs = {"fresh": self.cli("--json", "--profile", path, "check", "vsat"),
                "apply vsat": self.cli("--json", "--profile", path, "apply", "vsat"),
                "vsat": self.cli("--json", "--profile", path, "check", "vsat"),
                "apply lan": self.cli("--json", "--profile", path, "apply", "lan"),
                "lan": self.cli("--json", "--profile", path, "check", "lan"),  # DisableTCPBcast stays 1
                "show": self.cli("--json", "--profile", path, "show")}
        for name, run in runs.items():
            self.assertEqual((run.code, run.doc["exit_code"]), (0, 0), f"{name}: {run}")
        self.assertEqual([detected(runs[n].doc) for n in ("fresh", "vsat", "lan")], [False, True, True])
        self.assertEqual(runs["lan"].doc["steps"][5]["data"], "1")
        written = set()
        for run in runs.values():
            written |= set(run.doc)
            for entry in (run.doc["steps"] or []) + (run.doc["values"] or []):
                written |= set(entry)
        # The reach object, from a loopback address where nothing listens.
        refused = self.profile("guide-reach.ini", "LanAddress=127.0.0.3\r\nBcastUDPPort=7777\r\n")
        reach = self.cli("--json", "--profile", refused, "check", "lan", "--reach", "--timeout", "1")
        self.assertEqual(reach.code, 9, reach)
        written |= set(reach.doc) | set(reach.doc["reach"])
        self.assertEqual(used - written, set(), "the guide reads fields the program does not write")
        self.assertEqual({f for f in written if f"`{f}`" not in guide}, set(), "fields the guide does not list")

if __name__ == "__main__":
    unittest.main()
