#!/usr/bin/env python3
"""hostwend-cli.exe check --reach under Wine, against listeners this test
opens on loopback addresses of this machine (127.0.0.0/8 is loopback on
Linux, and Wine's sockets are Linux sockets). Nothing is sent anywhere else,
and the only name resolved is localhost, from /etc/hosts.

Run by CTest inside the test command's Wine session; run alone, it starts a
session of its own:  python3 tests/wine/cli/reach_test.py [-v]
"""
import os
import select
import shutil
import socket
import sys
import tempfile
import time
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
if os.environ.get("HOSTWEND_WINE_SESSION") != "1":
    session = os.path.join(HERE, "..", "..", "..", "scripts", "wine-session.sh")
    os.execv(session, [session, sys.executable, os.path.abspath(__file__)] + sys.argv[1:])

sys.path.insert(0, HERE)
sys.dont_write_bytecode = True  # nothing of the test's left in the source tree
import cli_test  # noqa: E402  the console program's driver: its helpers, not its tests

PORT = 7777
LISTENING, NOTHING, BACKLOG_FULL = "127.0.0.2", "127.0.0.3", "127.0.0.4"
PROFILE = (f"LanAddress={LISTENING}\r\nVPNAddress={NOTHING}\r\nVsatAddress=localhost\r\n"
           f"OthersAddress={BACKLOG_FULL}\r\nBcastUDPPort=7777\r\n")


class Listener:
    """A TCP listener on ADDRESS:7777 that accepts nothing until asked."""

    def __init__(self, address, backlog=8):
        self.sock = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        self.sock.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        self.sock.bind((address, PORT))
        self.sock.listen(backlog)
        self.address = address
        self.fillers = []

    def arrived(self):
        """What each connection made since the last call sent before it was closed."""
        sent = []
        while select.select([self.sock], [], [], 0)[0]:
            conn, _ = self.sock.accept()
            with conn:
                conn.settimeout(5)
                data = b""
                while chunk := conn.recv(256):
                    data += chunk
                sent.append(data)
        return sent

    def fill_backlog(self):
        """Fills the queue of a listener made with backlog 0, so that the kernel
        drops further connection requests instead of answering them. True once
        a connection hangs; False if the kernel answers instead."""
        for _ in range(8):
            probe = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
            probe.setblocking(False)
            probe.connect_ex((self.address, PORT))
            _, done, failed = select.select([], [probe], [probe], 0.3)
            if not done and not failed:
                probe.close()
                return True
            if probe.getsockopt(socket.SOL_SOCKET, socket.SO_ERROR) != 0:
                probe.close()
                return False
            self.fillers.append(probe)
        return False

    def close(self):
        for filler in self.fillers:
            filler.close()
        self.sock.close()


class ReachTest(unittest.TestCase):
    maxDiff = None

    @classmethod
    def setUpClass(cls):
        cls.started = time.monotonic()
        cls.work = tempfile.mkdtemp(prefix="hostwend-reach-test.")
        cls.exe = shutil.copy(cli_test.CLI_EXE, cls.work)
        cls.path = os.path.join(cls.work, "reach.ini")
        with open(cls.path, "w", newline="") as f:
            f.write("[SETUP]\r\n" + PROFILE)
        # Listeners that accept when asked, and one that never does.
        cls.listeners, cls.silent = {}, None
        try:
            for address in (LISTENING, "127.0.0.1"):
                cls.listeners[address] = Listener(address)
            cls.silent = Listener(BACKLOG_FULL, backlog=0)
        except OSError:
            cls.tearDownClass()
            raise
        cls.backlog_full = cls.silent.fill_backlog()
        cls.before = cli_test.reg(["seed"], cli_test.SNAPSHOT)[0]

    @classmethod
    def tearDownClass(cls):
        for listener in [*cls.listeners.values(), cls.silent]:
            if listener:
                listener.close()
        try:
            cli_test.reg(["wipe"])
        finally:
            shutil.rmtree(cls.work, ignore_errors=True)
        print(f"\nwine.reach: {time.monotonic() - cls.started:.1f} s wall", file=sys.stderr)

    def cli(self, *args):
        done, seconds = cli_test.run_wine(self.exe, ["--profile", self.path, *args])
        return cli_test.Run(done, seconds, "--json" in args)

    def arrivals(self):
        return {address: listener.arrived() for address, listener in self.listeners.items()}

    def assertNothingArrived(self, run):
        self.assertEqual(self.arrivals(), {a: [] for a in self.listeners}, run)

    def test_reachable_refused_and_by_name(self):
        plain = self.cli("--json", "check", "lan")
        self.assertEqual(plain.code, 0, plain)
        self.assertIsNone(plain.doc["reach"], "check without --reach reports no probe")
        self.assertNothingArrived(plain)
        # (type, exit code, reach object expected but for milliseconds, where it connected)
        table = [
            ("lan", 0, {"address": LISTENING, "resolved": LISTENING, "reachable": True, "error": None,
                        "error_code": None}, LISTENING),
            ("vpn", 9, {"address": NOTHING, "resolved": NOTHING, "reachable": False, "error": "refused",
                        "error_code": 10061}, None),
            # The profile's address as the client gets it, upper-cased; resolved IPv4 first.
            ("vsat", 0, {"address": "LOCALHOST", "resolved": "127.0.0.1", "reachable": True, "error": None,
                         "error_code": None}, "127.0.0.1"),
        ]
        for kind, code, reach, reached in table:
            with self.subTest(kind):
                run = self.cli("--json", "check", kind, "--reach")
                self.assertEqual((run.code, run.doc["exit_code"]), (code, code), run)
                got = dict(run.doc["reach"])
                self.assertIsInstance(got.pop("milliseconds"), int)
                self.assertEqual(got, dict(reach, port=PORT), run)
                self.assertRegex(run.doc["report"], rf"^apply {kind} would write \d values?; \d already holds? ")
                self.assertEqual(run.doc["error"] is None, code == 0, run)
                # Connected, sent nothing, closed; and only where it was sent.
                self.assertEqual(self.arrivals(), {a: [b""] if a == reached else [] for a in self.listeners})
        text = self.cli("check", "vpn", "--reach")
        self.assertEqual(text.code, 9, text)
        self.assertIn(f"Reach:   not reachable: refused at {NOTHING}, TCP port 7777", text.stdout.decode("utf-8"))
        self.assertIn(f"the server {NOTHING} cannot be reached from this computer: refused", text.stderr)
        self.assertIn("(Windows error 10061)", text.stderr)
        self.assertEqual(cli_test.reg(cli_test.SNAPSHOT)[0], self.before, "check --reach changed the registry")

    def test_a_server_that_never_answers_times_out_within_the_limit(self):
        if not self.backlog_full:
            self.skipTest("this kernel answers connections to a full backlog instead of dropping them")
        plain = self.cli("--json", "check", "others")
        run = self.cli("--json", "check", "others", "--reach", "--timeout", "1")
        self.assertEqual(run.code, 9, run)
        reach = run.doc["reach"]
        self.assertEqual((reach["reachable"], reach["error"], reach["error_code"], reach["resolved"]),
                         (False, "timed out", 10060, BACKLOG_FULL), run)
        self.assertGreaterEqual(reach["milliseconds"], 1000, run)
        self.assertLess(reach["milliseconds"], 1500, run)
        # The whole program: a plain check's time and about one second more.
        self.assertLess(run.seconds - plain.seconds, 1.8, f"{run.seconds:.2f} s against {plain.seconds:.2f} s")

    def test_a_failing_check_keeps_its_code_and_tries_nothing(self):
        cli_test.reg(["seed"], cli_test.sz(2, "old", cli_test.REG_EXPAND_SZ))
        try:
            for kind in ("lan", "vpn"):  # a listener, and nothing listening
                with self.subTest(kind):
                    run = self.cli("--json", "check", kind, "--reach")
                    self.assertEqual(run.code, 22, run)
                    self.assertIsNone(run.doc["reach"], run)
                    self.assertNothingArrived(run)
        finally:
            cli_test.reg(["seed"])

    def test_usage_errors(self):
        table = [
            (["show", "--reach"], "--reach and --timeout go with check only"),
            (["apply", "lan", "--reach"], "--reach and --timeout go with check only"),
            (["apply", "lan", "--timeout", "5"], "--reach and --timeout go with check only"),
            (["check", "lan", "--timeout", "5"], "--timeout goes with --reach"),
            (["check", "lan", "--reach", "--timeout", "0"], "--timeout needs a number of seconds from 1 to 60, not 0"),
            (["check", "lan", "--reach", "--timeout=61"], "--timeout needs a number of seconds from 1 to 60, not 61"),
        ]
        for args, message in table:
            with self.subTest(" ".join(args)):
                run = self.cli("--json", *args)
                self.assertEqual((run.code, run.stdout), (87, b""), run)
                self.assertIn(f"hostwend-cli: {message}", run.stderr)
                self.assertIn("see hostwend-cli --help", run.stderr)
        self.assertNothingArrived("usage errors")
        self.assertEqual(cli_test.reg(cli_test.SNAPSHOT)[0], self.before, "a usage error changed the registry")


if __name__ == "__main__":
    unittest.main()
