"""Reading the tool's result files back with real parsers, for the end-to-end and integration
tests alike."""

import csv
import io
import xml.etree.ElementTree as ElementTree


def records_of_xml(document):
    """(hostname, ip, mac) of every address element, in document order."""
    root = ElementTree.fromstring(document)
    assert root.tag == "addrlist" and root.attrib == {"version": "4"}, root
    records = []
    for address in root:
        assert address.tag == "address" and [f.tag for f in address] == ["hostname", "ip", "mac"]
        records.append(tuple(field.text or "" for field in address))
    return records


def rows_of_text(data):
    """Every line of the text file as a CSV reader with ';' sees it, the header included. The
    format has no quoting: a semicolon in a host name is one more field."""
    return list(csv.reader(io.StringIO(data.decode("utf-8"), newline=""), delimiter=";",
                           quoting=csv.QUOTE_NONE))


def records_of_text(data):
    rows = rows_of_text(data)
    assert rows[0] == ["# Name", "IP", "MAC"], rows[0]
    return [tuple(row) for row in rows[1:]]
