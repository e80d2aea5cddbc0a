"""leasedump against the host's kea-dhcp4 keeping its leases in a SQL database, PostgreSQL or
MariaDB: a throw-away database server of the test's own (scripts/kea_sandbox.py), Kea's schema
from kea-admin, and leases added with lease4-add. LEASEDUMP_SQL_DATABASE ("postgresql" or "mysql")
picks one; without it both run."""

import os
import sys
import unittest

sys.path.insert(0, os.path.join(os.environ["LEASEDUMP_SOURCE_DIR"], "scripts"))
from kea_sandbox import LEASE_DATABASES, KeaSandbox, Lease, Subnet  # noqa: E402
from program_runs import console_lines, save_with_leasedump  # noqa: E402

sys.path.insert(0, os.path.join(os.environ["LEASEDUMP_SOURCE_DIR"], "tests", "support"))
from served_leases import assert_saved_as_served  # noqa: E402

# 10.1.0.0/22 holds more leases than two pages of 500; 10.4.0.0/24 none.
SUBNETS = [
    Subnet(1, "10.1.0.0/22"),
    Subnet(2, "10.2.0.0/24"),
    Subnet(3, "10.3.0.0/16", shared_network="campus"),
    Subnet(4, "10.4.0.0/24", shared_network="campus"),
]
EDGE_NAMES = [
    "trail.example.", "two.dots..", ".", "", "a&b<c>d\"e'f;g,h.", "Ünïcode-Host.Example.",
    "日本語.example.", "emoji-😀.example.", "tab\there", "line\nbreak.", "x" * 250 + ".com",
]
LEASES = (
    [Lease(f"10.1.{n >> 8}.{n & 255}", 1, f"02:00:00:01:{n >> 8:02x}:{n & 255:02x}",
           f"host-{n}.site1.example.") for n in range(1, 1001)]
    + [Lease(f"10.2.0.{10 + i}", 2, f"00:16:3e:00:02:{i:02x}", name)
       for i, name in enumerate(EDGE_NAMES)]
    + [Lease("10.2.0.200", 2, ":".join(f"{i:02x}" for i in range(16)), "sixteen-bytes."),
       Lease("10.2.0.201", 2, "00:16:3e:00:02:c9", "declined.", state=1)]
    + [Lease(f"10.3.{n >> 8}.{n & 255}", 3, f"02:00:00:03:{n >> 8:02x}:{n & 255:02x}",
             f"campus-{n}.") for n in range(1, 301)]
)


def page_requests(kea):
    with open(os.path.join(kea.folder, "kea-dhcp4.log"), errors="replace") as log:
        return log.read().count("Received command 'lease4-get-page'")


class KeaWithSqlLeaseDatabase(unittest.TestCase):
    def test_saves_what_kea_serves_from_its_database(self):
        chosen = os.environ.get("LEASEDUMP_SQL_DATABASE")
        for kind, database in LEASE_DATABASES.items():
            if chosen and kind != chosen:
                continue
            with self.subTest(database=kind), database() as db, \
                    KeaSandbox(SUBNETS, LEASES, path="unix", lease_database=db) as kea:
                output, xml = save_with_leasedump(kea.server_text)
                _, text = save_with_leasedump(kea.server_text, ["/text"])
                self.assertNotIn("Error:", output)
                served = assert_saved_as_served(self, kea, xml["DHCP.xml"], text["DHCP.xml"])
                self.assertEqual(len(served), len(LEASES))
                self.assertIn(f"Queried {len(LEASES)} entries from server {kea.server_text}.",
                              console_lines(output))
                names = {record[0] for record in served}
                self.assertTrue({"trail.example", "日本語.example", "emoji-😀.example",
                                 "tab\there", "x" * 250 + ".com"} <= names, names)
                # Two runs; the first subnet alone took three pages in each.
                self.assertGreaterEqual(page_requests(kea), 2 * (len(SUBNETS) + 2))


if __name__ == "__main__":
    unittest.main(verbosity=2)
