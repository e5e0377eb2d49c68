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


def flood_table(batched):
    runs = family(batched, "MasterUnderHelloFlood/")
    if not runs:
        return
    print("Master: one whole update with its confirmed clients, without and with a flood of Hellos (in turns)")
    print("%7s %7s | %10s | %8s %9s %10s %6s | %11s" % (
        "vessels", "clients", "without us", "Hellos/s", "per upd.", "with us", "ratio", "unconfirmed"))
    for b in runs:
        print("%7d %7d | %10.0f | %8d %9d %10.0f %6.2f | %11d%s" % (
            b["vessels"], b["clients"], b["quiet_us"], b["hellos_per_s"], b["hellos_per_update"], us(b), b["ratio"],
            b["unconfirmed"], check(b)))
    print("the flood: Hellos from ports not seen before, queued between updates as at 30 updates a second;")
    print("each is answered at the next update's end; unconfirmed: addresses waiting in the master's pool.")
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
    print("recvfrom us: one bare recvfrom per queued datagram; +FIONREAD: the same after a pending-bytes")
    print("query before every datagram, which the slave does not make (one system call each here).")
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


def relay_tables(relay):
    forward = family(relay, "RelayForward/")
    if forward:
        print("Relay: one update passed on to every client (us per datagram of the master, each to every client)")
        print("%7s %7s %9s | %9s %12s %6s | %12s %6s | %10s%s" % (
            "vessels", "clients", "datagrams", "relay us", "sendmmsg us", "ratio", "+recvfrom us", "ratio",
            "updates/s", ""))
        for b in forward:
            per_update = b["relay_us_per_datagram"] * b["datagrams"]
            print("%7d %7d %9d | %9.1f %12.1f %6.2f | %12.1f %6.2f | %10.0f%s" % (
                b["vessels"], b["clients"], b["datagrams"], b["relay_us_per_datagram"], b["bare_us_per_datagram"],
                b["ratio"], b["read_send_us_per_datagram"], b["read_send_ratio"],
                1e6 / per_update if per_update > 0 else 0, check(b)))
        print("sendmmsg us: the same datagrams to the same clients in bare sendmmsg calls; +recvfrom: after")
        print("reading each from a socket, the least any relay does; updates/s: the relay's fan-out at most.")
        print()
    master = family(relay, "MasterWithSlaves/")
    if master:
        by = {(b["vessels"], b["slaves"], b["relay"]): us(b) for b in master}
        print("Master: one whole update with its slaves directly or behind one relay (us per update)")
        print("%7s | %9s %10s | %17s %18s | %16s" % ("vessels", "1 slave", "64 slaves", "1 behind a relay",
                                                      "64 behind a relay", "relay / 1 slave"))

        def cell(value):
            return "%.0f" % value if value else "-"

        for vessels in sorted({b["vessels"] for b in master}):
            one, many = by.get((vessels, 1, 0)), by.get((vessels, 64, 0))
            relayed_one, relayed = by.get((vessels, 1, 1)), by.get((vessels, 64, 1))
            print("%7d | %9s %10s | %17s %18s | %16s" % (
                vessels, cell(one), cell(many), cell(relayed_one), cell(relayed),
                "%.2f, %.2f" % (relayed_one / one, relayed / one) if one and relayed and relayed_one else "-"))
        lost = sum(b.get("missing", 0) + b.get("relay_failed_sends", 0) for b in master)
        print("(the relay runs on a thread of this process and passes each update on before the next one)%s" % (
            "" if lost == 0 else "  (!) %d datagrams missing" % lost))
        print()
    for b in family(relay, "RelayLatency/"):
        print("Latency on loopback, master's send to the slave socket's receive (us per datagram,")
        print("%d vessels at 60 updates/s, %d datagrams each; helmrelay as a process of its own)" % (
            b["vessels"], b["datagrams"]))
        print("%10s %9s %9s" % ("", "median", "99th pct"))
        print("%10s %9.1f %9.1f" % ("direct", b["direct_median_us"], b["direct_p99_us"]))
        print("%10s %9.1f %9.1f" % ("one relay", b["relay_median_us"], b["relay_p99_us"]))
        print("%10s %9.1f %9.1f%s" % ("added", b["added_median_us"], b["added_p99_us"],
                                     "" if b["lost"] == 0 else "  (!) %d datagrams lost" % b["lost"]))
        print()


def trunk_tables(trunk):
    codec = family(trunk, "TrunkCodec/")
    if codec:
        print("Trunk: bytes per update on the trunk (headers and tags counted) against the raw datagrams")
        print("%7s %6s | %9s %11s %8s %10s | %14s" % ("vessels", "loss", "raw B", "trunk B", "ratio", "datagrams",
                                                    "codec us/dgram"))
        for b in codec:
            print("%7d %5d%% | %9.0f %11.0f %7.2f%% %10.2f | %14.2f" % (
                b["vessels"], b["loss_percent"], b["raw_bytes_per_update"], b["trunk_bytes_per_update"],
                b["ratio_percent"], b["trunk_datagrams_per_update"], b["codec_us_per_datagram"]))
        print()
    for b in family(trunk, "TrunkLatency/"):
        print("Trunk hop latency on loopback (us): through near end, trunk and far end median %.0f, p99 %.0f; "
              "one plain relay median %.0f, p99 %.0f; added median %.0f, p99 %.0f; lost %d" % (
                  b["trunk_median_us"], b["trunk_p99_us"], b["relay_median_us"], b["relay_p99_us"],
                  b["added_median_us"], b["added_p99_us"], b["lost"]))
        print()


def main():
    folder = sys.argv[1]
    master, slave = load(folder, "master_batched"), load(folder, "slave_batched")
    master_table(master, load(folder, "master_unbatched"))
    flood_table(master)
    slave_table(slave, load(folder, "slave_unbatched"))
    where_the_time_goes(master, slave)
    relay_tables(load(folder, "relay"))
    trunk_tables(load(folder, "trunk"))
    print("ratio: the module's time over the bare system calls' time, measured in turns in the same loop;")
    print("alloc B / allocs: C++ heap per update; growth B: heap still held after an update (steady state: 0).")


if __name__ == "__main__":
    main()
