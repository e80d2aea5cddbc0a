"""What a Kea server says it holds, asked plainly, against what leasedump saved from it."""

import ipaddress

from result_files import records_of_text, records_of_xml


def repaired_text(text):
    """Kea escapes each byte of a non-ASCII host name as its own character; leasedump repairs
    that into UTF-8. A name that is no such byte string stays as it is."""
    try:
        return text.encode("latin-1").decode("utf-8")
    except (UnicodeEncodeError, UnicodeDecodeError):
        return text


def saved_form(lease):
    """(host name, IP, MAC) as leasedump saves one lease of Kea's answer."""
    name = repaired_text(lease.get("hostname", ""))
    if name.endswith("."):
        name = name[:-1]
    return name, lease["ip-address"], lease.get("hw-address", "").replace(":", "-").upper()


def text_host_name(name):
    return "".join("?" if character == ";" or ord(character) < 0x20 else character
                   for character in name)


def address_number(text):
    first, second, third, fourth = (int(part) for part in text.split("."))
    return (first << 24) | (second << 16) | (third << 8) | fourth


def placed_by_address(subnet_texts, leases):
    """The leases under the network addresses of the subnets (texts as Kea writes them, host bits
    allowed, in the order of config-get), each network address once in that order: a lease goes
    to the subnet that holds its address with the longest prefix, whatever its subnet-id, and a
    lease that no subnet holds goes nowhere. Within a network address, ascending address order."""
    networks = [ipaddress.ip_network(text, strict=False) for text in subnet_texts]
    placed = {}
    for network in networks:
        placed.setdefault(str(network.network_address), [])
    for lease in leases:
        address = ipaddress.ip_address(lease["ip-address"])
        holding = [network for network in networks if address in network]
        if holding:
            owner = max(holding, key=lambda network: network.prefixlen)
            placed[str(owner.network_address)].append(lease)
    for at_address in placed.values():
        at_address.sort(key=lambda lease: address_number(lease["ip-address"]))
    return placed


def served_records(kea):
    """Every lease the server returns over the sandbox's own path (one lease4-get-all), in the
    order leasedump saves them: by the subnet that holds each (placed_by_address), the subnets in
    the order of config-get (plain subnets, then those of shared networks). Subnets at one network
    address are one subnet to the DHCP API, reported where the first of them stands."""
    config = kea.command("config-get")[0]["arguments"]["Dhcp4"]
    subnets = config.get("subnet4", []) + [
        subnet for network in config.get("shared-networks", [])
        for subnet in network.get("subnet4", [])]
    answer = kea.command("lease4-get-all")[0]
    placed = placed_by_address([subnet["subnet"] for subnet in subnets],
                               answer.get("arguments", {}).get("leases", []))
    return [saved_form(lease) for leases in placed.values() for lease in leases]


def assert_saved_as_served(test, kea, xml_file, text_file):
    """The XML document and the text file hold exactly the leases the server returns, in the
    same order; returns them."""
    served = served_records(kea)
    test.assertEqual(records_of_xml(xml_file), served)
    # The text format has no quoting, so a semicolon or a control character in a host name is
    # written as "?".
    test.assertEqual(records_of_text(text_file),
                     [(text_host_name(name), address, mac) for name, address, mac in served])
    return served
