"""What the sandboxes of real servers ask of the host: whether network namespaces can be made,
their removal with every process in them, and whether AppArmor confines a packaged server to its
own folders."""

import os
import shutil
import signal
import subprocess
import threading


def namespaces_can_be_made():
    """None, or why no network of namespaces can be made here."""
    if shutil.which("ip") is None:
        return "the ip program (iproute2) is missing"
    probe = f"leasedump-probe-{os.getpid()}-{threading.get_ident()}"
    made = subprocess.run(["ip", "netns", "add", probe], capture_output=True, text=True,
                          timeout=30)
    if made.returncode != 0:
        return f"network namespaces cannot be made here: {made.stderr.strip()}"
    subprocess.run(["ip", "netns", "del", probe], capture_output=True, timeout=30)
    return None


def remove_namespaces(names):
    """Kills every process in the network namespaces `names` and removes them, the last made
    first."""
    for name in reversed(names):
        pids = subprocess.run(["ip", "netns", "pids", name], capture_output=True, text=True,
                              timeout=30).stdout.split()
        for pid in pids:
            try:
                os.kill(int(pid), signal.SIGKILL)
            except ProcessLookupError:
                pass
        subprocess.run(["ip", "netns", "del", name], capture_output=True, timeout=30)


def apparmor_confines(program):
    """Whether AppArmor enforces a profile on /usr/sbin/`program` (when it cannot tell, as a
    non-root user may not, it assumes the packaged profile is loaded)."""
    try:
        with open("/sys/module/apparmor/parameters/enabled") as flag:
            if flag.read().strip() != "Y":
                return False
    except OSError:
        return False
    try:
        with open("/sys/kernel/security/apparmor/profiles") as profiles:
            return f"{program} (enforce)" in profiles.read()
    except OSError:
        return True
