#!/usr/bin/env python3
"""Measures Pagewren.exe beside two baselines under Wine, in interleaved rounds.

Per program and round: warm start (launch until the first request reaches the reference
server), then, signed in (Pagewren) or with the dialog open (baselines), the CPU time and
context switches of an idle period and the private memory at its end. Pagewren runs twice a
round, signing in over plain HTTP and over TLS; each sign-in is timed from the Enter key to the
server's receipt of the sign-in. Each round also takes Pagewren through a 10-second outage of
the server while signed in and times how long after the server's return it is signed in again;
before the outage it counts the requests the server saw for each refresh, and it starts Pagewren
twice more: once timed from launch to the sign-in dialog on screen, once with "Sign me in
automatically" ticked, timed from launch to signed in.
Prints tables of the medians with ratios and writes them as JSON.
"""
import argparse
import json
import os
import statistics
import subprocess
import sys
import time
import urllib.request

EMAIL, PASSWORD = "bench@pagewren.test", "pagewren-bench"
OUTAGE_SECONDS = 10
FIGURES = (("start_ms", "warm start (ms)"), ("private_kib", "private memory (KiB)"),
           ("cpu_ms", "idle CPU time (ms)"), ("switches", "idle context switches"),
           ("exe_bytes", "exe size (bytes)"))
SECURE_FIGURES = (("start_ms", "warm start (ms)"), ("sign_in_ms", "sign-in span (ms)"),
                  ("private_kib", "private memory (KiB)"))


def median_ratio(numerators, denominators):
    """Median of the per-round ratios; None where a denominator is 0."""
    ratios = [n / d for n, d in zip(numerators, denominators) if d]
    return statistics.median(ratios) if ratios else None


def summarise(rounds, names, figures):
    """Medians per program and figure, and the ratios of the first program to each other one."""
    medians = {name: {key: statistics.median(r[name][key] for r in rounds) for key, _ in figures}
               for name in names}
    ratios = {other: {key: median_ratio([r[names[0]][key] for r in rounds], [r[other][key] for r in rounds])
                      for key, _ in figures} for other in names[1:]}
    return medians, ratios


def table(medians, ratios, names, figures):
    lines = ["%-24s" % "figure (median)" + "".join("%16s" % n for n in names) +
             "".join("%16s" % ("/ " + n) for n in names[1:])]
    for key, label in figures:
        row = "%-24s" % label + "".join("%16.0f" % medians[n][key] for n in names)
        row += "".join("%16s" % ("-" if ratios[n][key] is None else "%.2fx" % ratios[n][key]) for n in names[1:])
        lines.append(row)
    return "\n".join(lines)


class Bench:
    def __init__(self, options):
        self.options = options
        self.control_url = None

    def control(self, command):
        with urllib.request.urlopen(self.control_url + command, timeout=5) as answer:
            return answer.read().decode()

    def requests(self):
        return [line.split("\t") for line in self.control("log").splitlines() if line]

    def find_wine_process(self, launcher, exe_name):
        """The Linux process that runs exe_name: the launcher itself or one of its descendants."""
        deadline = time.time() + 30
        while time.time() < deadline:
            for pid in [launcher.pid] + self.descendants(launcher.pid):
                try:
                    command = open("/proc/%d/cmdline" % pid, "rb").read().decode(errors="replace")
                except OSError:
                    continue
                if exe_name.lower() in command.lower():
                    return pid
            time.sleep(0.01)
        raise RuntimeError("no process runs " + exe_name)

    def descendants(self, pid):
        found = []
        for entry in os.listdir("/proc"):
            if entry.isdigit():
                try:
                    parent = int(open("/proc/%s/stat" % entry).read().rsplit(")", 1)[1].split()[1])
                except (OSError, IndexError, ValueError):
                    continue
                if parent == pid:
                    found += [int(entry)] + self.descendants(int(entry))
        return found

    @staticmethod
    def usage(pid):
        """CPU milliseconds of all threads and their voluntary plus involuntary switches."""
        fields = open("/proc/%d/stat" % pid).read().rsplit(")", 1)[1].split()
        cpu_ms = (int(fields[11]) + int(fields[12])) * 1000.0 / os.sysconf("SC_CLK_TCK")
        switches = 0
        for task in os.listdir("/proc/%d/task" % pid):
            for line in open("/proc/%d/task/%s/status" % (pid, task)):
                if "ctxt_switches:" in line:
                    switches += int(line.split()[1])
        return cpu_ms, switches

    @staticmethod
    def private_kib(pid):
        total = 0
        for line in open("/proc/%d/smaps_rollup" % pid):
            if line.startswith(("Private_Clean:", "Private_Dirty:")):
                total += int(line.split()[1])
        return total

    def wait_until(self, condition, seconds, what):
        deadline = time.time() + seconds
        while time.time() < deadline:
            if condition():
                return
            time.sleep(0.01)
        raise RuntimeError("timed out waiting for " + what)

    def sign_in(self):
        """Presses Enter in Pagewren's pre-filled sign-in dialog and waits for the signed-in answer;
        the milliseconds from the key to the server's receipt of the sign-in."""
        self.wait_until(lambda: subprocess.run(["xdotool", "search", "--onlyvisible", "--name", "^Pagewren$"],
                                               capture_output=True).returncode == 0, 30, "the sign-in dialog")
        time.sleep(0.5)
        # The credential check and the sign-in itself both send the credentials.
        signed_in = lambda: sum(1 for r in self.requests() if len(r) > 3 and r[3] != "-") >= 2
        pressed = time.time()
        subprocess.run(["xdotool", "key", "Return"], check=True)
        self.wait_until(signed_in, 30, "the sign-in")
        span_ms = (time.time() - pressed) * 1000
        time.sleep(1)
        return span_ms

    def launch(self, args):
        return subprocess.Popen(["wine"] + args, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    def stop(self, launcher):
        for pid in [launcher.pid] + self.descendants(launcher.pid):
            try:
                os.kill(pid, 9)
            except OSError:
                pass
        launcher.wait()
        time.sleep(1)

    def refreshes(self):
        """The refreshes the server has seen; 0 while it is down."""
        try:
            log = self.requests()
        except OSError:
            return 0
        return sum(1 for r in log if len(r) > 6 and r[1].startswith("/tray.php") and r[3] != "-")

    def requests_per_refresh(self):
        """The refresh script's requests per refresh, each ending with the credentialed one."""
        # The start of a refresh still under way is left out.
        log = [r for r in self.requests() if len(r) > 6 and r[1].startswith("/tray.php")]
        while log and log[-1][3] == "-":
            log.pop()
        return len(log) / max(1, sum(1 for r in log if r[3] != "-"))

    def outage_return_ms(self, exe):
        """Milliseconds from the server's return after a 10-second outage until Pagewren's next
        successful refresh, and the requests per refresh before the outage. Tokens of 303
        seconds bring a refresh every 3 seconds, so one falls into the outage.
        """
        self.control("reset")
        self.write_config(False)
        self.control("lifetime?seconds=303")
        launcher = self.launch([exe])
        try:
            self.wait_until(lambda: self.requests(), 60, "Pagewren's first request")
            self.sign_in()
            self.wait_until(lambda: self.refreshes() >= 1, 30, "a refresh")
            before = self.refreshes()
            per_refresh = self.requests_per_refresh()
            self.control("down?seconds=%g" % OUTAGE_SECONDS)
            back = time.time() + OUTAGE_SECONDS
            time.sleep(OUTAGE_SECONDS)
            self.wait_until(lambda: self.refreshes() > before, 90, "a refresh after the outage")
            return (time.time() - back) * 1000, per_refresh
        finally:
            self.stop(launcher)

    def signed_in_logged(self):
        """Whether the support log, emptied before the launch, says the program is signed in."""
        try:
            return "-> SignedIn: signed in" in open(os.path.join(self.config_dir, "Pagewren.log"), encoding="utf-8").read()
        except OSError:
            return False

    def start_ms(self, exe, automatic):
        """Milliseconds from launch to the sign-in dialog on screen, or with the automatic sign-in at
        start to signed in."""
        self.control("reset")
        self.write_config(False, automatic)
        for name in ("Pagewren.log", "Pagewren.1.log"):
            if os.path.exists(os.path.join(self.config_dir, name)):
                os.remove(os.path.join(self.config_dir, name))
        dialog_shown = lambda: subprocess.run(["xdotool", "search", "--onlyvisible", "--name", "^Pagewren$"],
                                              capture_output=True).returncode == 0
        start = time.time()
        launcher = self.launch([exe])
        try:
            self.wait_until(self.signed_in_logged if automatic else dialog_shown, 60,
                            "signed in" if automatic else "the sign-in dialog")
            return (time.time() - start) * 1000
        finally:
            self.stop(launcher)

    def write_config(self, secure, automatic=False):
        """Pagewren's configuration with the bench account, for the plain or the TLS listener, as a
        user has it who ticked "Remember me": the e-mail address in the file, the password kept by
        Windows for the server's origin."""
        origin = "https://localhost:%d" % self.tls_port if secure else "http://127.0.0.1:%d" % self.port
        subprocess.run(["wine", self.options.keep, "Pagewren:" + origin, EMAIL, PASSWORD], check=True,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        server = ('host="localhost" directory="/" port="%d" scheme="https"' % self.tls_port if secure
                  else 'host="127.0.0.1" directory="/" port="%d"' % self.port)
        if automatic:
            server += ' signin="automatic"'
        with open(os.path.join(self.config_dir, "config.xml"), "w", newline="") as config:
            config.write('<config>\r\n\t<server %s>\r\n\t\t<user>%s</user>\r\n\t</server>\r\n</config>' %
                         (server, EMAIL))

    def measure(self, name, exe, secure):
        self.control("reset")
        pagewren = name.startswith("Pagewren")
        if secure:
            # A reset closes the extra listeners, so each TLS run opens its own.
            self.tls_port = int(self.control("listen?port=0&tls=localhost"))
        if pagewren:
            self.write_config(secure)
        args = [exe] if pagewren else [exe, "127.0.0.1", str(self.port)]
        start = time.time()
        launcher = self.launch(args)
        try:
            self.wait_until(lambda: self.requests(), 60, name + "'s first request")
            start_ms = (time.time() - start) * 1000
            pid = self.find_wine_process(launcher, os.path.basename(exe))
            figures = {"start_ms": start_ms, "exe_bytes": os.path.getsize(exe)}
            if pagewren:
                figures["sign_in_ms"] = self.sign_in()
            else:
                time.sleep(1)
            cpu_before, switches_before = self.usage(pid)
            time.sleep(self.options.idle)
            cpu_after, switches_after = self.usage(pid)
            figures.update(private_kib=self.private_kib(pid), cpu_ms=cpu_after - cpu_before,
                           switches=switches_after - switches_before)
            return figures
        finally:
            self.stop(launcher)

    def run(self):
        options = self.options
        programs = [("Pagewren", options.pagewren, False), ("same-work", options.same_work, False),
                    ("bare", options.bare, False), ("Pagewren https", options.pagewren, True)]
        names, secure_names = ["Pagewren", "same-work", "bare"], ["Pagewren https", "Pagewren"]
        self.config_dir = os.path.join(os.environ["WINEPREFIX"], "drive_c", "users", os.environ.get("USER") or
                                  subprocess.run(["id", "-un"], capture_output=True, text=True).stdout.strip(),
                                  "AppData", "Local", "Pagewren")
        os.makedirs(self.config_dir, exist_ok=True)
        # Every Pagewren run of every round writes to the one support log of the prefix, from empty.
        logs = [os.path.join(self.config_dir, name) for name in ("Pagewren.log", "Pagewren.1.log")]
        for log in logs:
            if os.path.exists(log):
                os.remove(log)
        port_file = os.path.join(options.state, "port")
        if os.path.exists(port_file):
            os.remove(port_file)
        server = subprocess.Popen([sys.executable, options.refserver, "--port", "0", "--port-file", port_file,
                                   "--account", EMAIL + ":" + PASSWORD, "--tls-dir", options.tls_dir],
                                  stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        try:
            self.wait_until(lambda: os.path.exists(port_file) and open(port_file).read().strip(), 30, "the server")
            self.port = int(open(port_file).read())
            self.control_url = "http://127.0.0.1:%d/_control/" % self.port
            subprocess.run(["wine", options.trust, "Z:" + os.path.join(options.tls_dir, "ca.pem")], check=True,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            rounds, returns, per_refresh, to_dialog, to_signed_in = [], [], [], [], []
            for number in range(options.rounds):
                # Interleaved and rotated, so that no program always runs first.
                order = programs[number % 4:] + programs[:number % 4]
                rounds.append({name: self.measure(name, exe, secure) for name, exe, secure in order})
                back_ms, requests = self.outage_return_ms(options.pagewren)
                returns.append(back_ms)
                per_refresh.append(requests)
                to_dialog.append(self.start_ms(options.pagewren, False))
                to_signed_in.append(self.start_ms(options.pagewren, True))
                print("round %d: %s, signed in again %.0f ms after the outage, %.1f requests per refresh, "
                      "launch to dialog %.0f ms, launch to signed in by itself %.0f ms" %
                      (number + 1, json.dumps(rounds[-1]), back_ms, requests, to_dialog[-1], to_signed_in[-1]),
                      flush=True)
        finally:
            server.terminate()
            server.wait()
        medians, ratios = summarise(rounds, names, FIGURES)
        secure_medians, secure_ratios = summarise(rounds, secure_names, SECURE_FIGURES)
        print()
        print(table(medians, ratios, names, FIGURES))
        print("%-24s%16.0f" % ("back after outage (ms)", statistics.median(returns)))
        print("%-24s%16.1f" % ("requests per refresh", statistics.median(per_refresh)))
        print("%-24s%16.0f" % ("launch to dialog (ms)", statistics.median(to_dialog)))
        print("%-24s%16.0f" % ("launch to signed in (ms)", statistics.median(to_signed_in)))
        print()
        print(table(secure_medians, secure_ratios, secure_names, SECURE_FIGURES))
        log_bytes = sum(os.path.getsize(log) for log in logs if os.path.exists(log))
        print("%-24s%16d" % ("support log (bytes)", log_bytes))
        with open(options.json, "w") as out:
            json.dump({"idle_seconds": options.idle, "rounds": rounds, "medians": medians, "ratios": ratios,
                       "https_medians": secure_medians, "https_ratios": secure_ratios,
                       "outage_seconds": OUTAGE_SECONDS, "back_after_outage_ms": returns,
                       "back_after_outage_median_ms": statistics.median(returns),
                       "requests_per_refresh": per_refresh, "support_log_bytes": log_bytes,
                       "launch_to_dialog_ms": to_dialog, "launch_to_signed_in_ms": to_signed_in},
                      out, indent=2)
        print("\nfigures written to " + options.json)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--pagewren", required=True)
    parser.add_argument("--same-work", required=True)
    parser.add_argument("--bare", required=True)
    parser.add_argument("--refserver", required=True)
    parser.add_argument("--tls-dir", required=True, help="the server's certificates (scripts/make-test-certs.sh)")
    parser.add_argument("--trust", required=True, help="trust_authority.exe")
    parser.add_argument("--keep", required=True, help="keep_password.exe")
    parser.add_argument("--state", required=True, help="folder for the server's port file")
    parser.add_argument("--json", required=True)
    parser.add_argument("--rounds", type=int, default=5)
    parser.add_argument("--idle", type=float, default=30.0, help="idle seconds before memory is read")
    Bench(parser.parse_args()).run()


if __name__ == "__main__":
    main()
