#!/usr/bin/python3
"""Reads the exports back with readers that are not ours, for tests/export/export_test.cpp.

  read_exports.py edf FILE      MNE's EDF reader (python3-mne), and the header's units and
                                physical range as its own bytes hold them
  read_exports.py bids PREFIX   the standard library's json and gzip

Prints one fact a line, its fields separated by tabs. Exits 77, saying why, when MNE is missing.
"""
import gzip
import json
import sys


def edf(path):
    try:
        import mne
    except ImportError:
        print("python3-mne n'est pas installé (apt-get install python3-mne)", file=sys.stderr)
        sys.exit(77)
    raw = mne.io.read_raw_edf(path, preload=True, verbose="error")
    print("rate", raw.info["sfreq"], sep="\t")
    print("start", raw.info["meas_date"].strftime("%Y-%m-%d %H:%M:%S"), sep="\t")
    # The physical range as the header's eight-character fields hold it.
    with open(path, "rb") as f:
        header = f.read(256)
        count = int(header[252:256])
        fields = f.read(count * 256)

    def field(offset, width, i):
        start = count * offset + i * width
        return fields[start:start + width].decode("ascii").strip()

    # MNE turns the units it knows (uV and the like) into SI; Hz and uS it leaves as they are.
    data = raw.get_data()
    for i, name in enumerate(raw.ch_names):
        print("channel", name, field(96, 8, i), field(104, 8, i), field(112, 8, i), sep="\t")
        print("samples", name, *(repr(v) for v in data[i]), sep="\t")
    for annotation in raw.annotations:
        print("annotation", "%.4f" % annotation["onset"], "%.4f" % annotation["duration"],
              annotation["description"], sep="\t")


def flatten(prefix, value):
    if isinstance(value, dict):
        for key, item in value.items():
            flatten(prefix + key + ".", item)
    else:
        print("json", prefix[:-1], json.dumps(value, ensure_ascii=False), sep="\t")


def bids(prefix):
    with open(prefix + "_physio.json", encoding="utf-8") as f:
        flatten("", json.load(f))
    with gzip.open(prefix + "_physio.tsv.gz", "rt", encoding="utf-8") as f:
        for line in f.read().splitlines():
            print("physio", line, sep="\t")


if __name__ == "__main__":
    {"edf": edf, "bids": bids}[sys.argv[1]](sys.argv[2])
