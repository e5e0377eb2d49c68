"""One summary table from the benchmark programs' JSON results."""
import json
import os
import sys


def load(folder, name):
    path = os.path.join(folder, name + ".json")
    if not os.path.exists(path):
        return []
    with open(path) as f:
        return [b for b in json.load(f)["benchmarks"] if b.get("run_type", "iteration") == "iteration"]


def us(benchmark):
    # Google Benchmark reports in the unit each benchmark asked for.
    scale = {"ns": 1e-3, "us": 1.0, "ms": 1e3, "s": 1e6}[benchmark.get("time_unit", "ns")]
    return benchmark["real_time"] * scale


def family(benchmarks, prefix):
    return [b for b in benchmarks if b["name"].startswith(prefix)]


def part(name, index):
    return name.split("/")[index]


def check(benchmark):
    lost = benchmark.get("missing", 0) + benchmark.get("incomplete", 0)
    return "" if lost == 0 else "  (!) %d datagrams or updates incomplete" % lost


def master_table(batched, unbatched):
    off = {(b["vessels"], b["clients"]): b for b in family(unbatched, "MasterUpdate/")}
    print("Master: one whole update (capture, send to every client, receive phase)")
    print("%7s %7s %9s | %11s %11s %6s | %11s %11s %6s | %10s %6s %8s" % (
        "vessels", "clients", "datagrams", "batched us", "sendto us", "ratio",
        "unbatch. us", "sendto us", "ratio", "alloc B", "allocs", "growth B"))
    for b in family(batched, "MasterUpdate/"):
        o = off.get((b["vessels"], b["clients"]))
        other = ("%11.0f %11.0f %6.2f" % (us(o), o["baseline_us"], o["ratio"])) if o else "%30s" % "-"
        print("%7d %7d %9d | %11.0f %11.0f %6.2f | %s | %10.0f %6.0f %8.0f%s" % (
            b["vessels"], b["clients"], b["datagrams"], us(b), b["baseline_us"], b["ratio"], other,
            b["alloc_bytes"], b["allocs"], b["growth_bytes"], check(b) + (check(o) if o else "")))
    print()


def slave_table(batched, unbatched):
    off = {b["vessels"]: b for b in family(unbatched, "SlaveReceive/")}
    print("Slave: one queued update taken in and applied (ReceiveUpdate)")
    print("%7s %9s | %11s %11s %6s %11s %6s | %11s %6s | %10s %6s %8s" % (
        "vessels", "datagrams", "batched us", "recvfrom us", "ratio", "+FIONREAD", "ratio", "unbatch. us", "ratio",
        "alloc B", "allocs", "growth B"))
    for b in family(batched, "SlaveReceive/"):
        o = off.get(b["vessels"])
        other = ("%11.0f %6.2f" % (us(o), o["ratio"])) if o else "%18s" % "-"
        print("%7d %9d | %11.0f %11.0f %6.2f %11.0f %6.2f | %s | %10.0f %6.0f %8.0f%s" % (
            b["vessels"], b["datagrams"], us(b), b["baseline_us"], b["ratio"], b.get("pending_baseline_us", 0),
            b.get("pending_ratio", 0), other, b["alloc_bytes"], b["allocs"], b["growth_bytes"], check(b)))
    print("recvfrom us: one bare recvfrom per queued datagram; +FIONREAD: the same after the pending-bytes")
    print("query that the slave's receive loop makes before every datagram (one system call each here).")
    print()


def where_the_time_goes(master, slave):
    capture = {part(b["name"], 1): b for b in family(master, "CaptureKind/")}
    apply = {part(b["name"], 1): b for b in family(slave, "ApplyKind/")}
    print("Per message kind (us per message; the slave's includes its receive)")
    print("%10s | %10s | %11s %11s %9s" % ("kind", "capture", "take in", "recvfrom", "alloc B"))
    for kind in ["state", "extra", "airfoil", "animation", "xr", "text"]:
        c = capture.get(kind)
        a = apply.get(kind)
        n = a["messages"] if a else 0
        print("%10s | %10s | %11s %11s %9s" % (
            kind, "%.2f" % us(c) if c else "-",
            "%.2f" % (us(a) / n) if n else "-", "%.2f" % (a["baseline_us"] / (n + 1)) if n else "-",
            "%.0f" % (a["alloc_bytes"] / n) if n else "-"))
    print("  (text goes through a file on both sides)")
    print()
    capture = {part(b["name"], 1): b for b in family(master, "CaptureClass/")}
    apply = {part(b["name"], 1): b for b in family(slave, "ApplyClass/")}
    print("Per vessel of each bundled class (us per vessel, all its messages but the text)")
    print("%10s | %10s | %11s" % ("class", "capture", "take in"))
    for name in ["Tug0", "Capsule1", "Shuttle2", "Station3", "Freighter2", "XRSample"]:
        c = capture.get(name)
        a = apply.get(name)
        print("%10s | %10s | %11s" % (name, "%.2f" % us(c) if c else "-",
                                       "%.2f" % (us(a) / a["vessels"]) if a and a["vessels"] else "-"))
    print()


def main():
    folder = sys.argv[1]
    master, slave = load(folder, "master_batched"), load(folder, "slave_batched")
    master_table(master, load(folder, "master_unbatched"))
    slave_table(slave, load(folder, "slave_unbatched"))
    where_the_time_goes(master, slave)
    print("ratio: the module's time over the bare system calls' time, measured in turns in the same loop;")
    print("alloc B / allocs: C++ heap per update; growth B: heap still held after an update (steady state: 0).")


if __name__ == "__main__":
    main()
