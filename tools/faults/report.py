"""The suite's table, the hostile senders' measurements, and the list of
targets missed under them."""

COLUMNS = [
    ("scenario", 28, lambda r: r.name),
    ("follows", 7, lambda r: "yes" if r.follows else "NO"),
    ("max err m", 9, lambda r: f"{r.largest_error_m:.2f}"),
    ("re-sync s", 9, lambda r: seconds(r.resync_s)),
    ("loss % rep/inj", 14, lambda r: f"{percent(r.loss_reported)}/{percent(r.loss_injected)}"),
    ("discarded", 9, lambda r: str(r.discarded)),
    ("keys ok/lost/dbl", 16, lambda r: f"{r.keys_delivered}/{r.keys_lost}/{r.keys_doubled}"
                                       + (f" {r.keys_superseded}s" if r.keys_superseded else "")
                                       + (f" {r.keys_out_of_order}o" if r.keys_out_of_order else "")
                                       + (f" +{r.keys_foreign}f" if r.keys_foreign else "")
                                       + (f" +{r.keys_foreign_master}m" if r.keys_foreign_master else "")),
    ("subscr s", 8, lambda r: seconds(r.subscribe_s)),
    ("new s", 6, lambda r: seconds(r.new_slave_s)),
    ("drop s", 6, lambda r: seconds(r.drop_s)),
    ("cut", 3, lambda r: str(r.cut_off)),
    ("clients", 7, lambda r: str(r.largest_table) + ("?" if r.table_unknown else "")),
    ("target", 6, lambda r: "met" if not r.misses else "MISSED"),
]


def seconds(value):
    if value is None:
        return "-"
    return "never" if value == float("inf") else f"{value:.2f}"


def percent(value):
    return "-" if value is None else f"{value:.1f}"


def table(results):
    lines = [" | ".join(f"{title:<{width}}" for title, width, _ in COLUMNS)]
    lines.append("-+-".join("-" * width for _, width, _ in COLUMNS))
    for result in results:
        lines.append(" | ".join(f"{cell(result):<{width}}" for _, width, cell in COLUMNS))
    return "\n".join(lines)


def measures(results):
    """One line per measurement of a hostile sender: scenario, what, value, target."""
    rows = [(r.name, m) for r in results for m in r.measures]
    if not rows:
        return ""
    lines = [f"{'scenario':<28} | {'measured':<64} | {'value':<36} | target"]
    for name, m in rows:
        mark = "" if m["met"] else "  MISSED"
        lines.append(f"{name:<28} | {m['what']:<64} | {m['value']:<36} | {m['target']}{mark}")
    return "\n".join(lines)


LEGEND = """\
follows: every slave, every snapshot after its first sync (and after a restart, the re-sync): every
  master vessel there with its class and within 5 m at the master's date, no other vessel, a date the
  master had (within 0.4 s of one of its snapshots). max err: largest position error seen. re-sync:
  seconds from the restart to the first snapshot in step. loss: the slaves' reported "lost" vs the
  relays' injected loss, master to slave. discarded: dropped by the slaves' backlog rule. keys: events
  typed in the master that reached a subscribed slave / did not / arrived more than once (s: of those
  lost where the link reorders, presses whose own release came first; o: out of typed order; +f: a
  stranger's, replayed; +m: a stranger's, replayed on the master). subscr: slowest subscription
  (first Hello to the master's log line, else to the first whole update); new: the slave started
  late; never: not within the run. drop: kill -9 to the master's time-out. cut: live slaves timed
  out. clients: largest client table of the master (?: it wrote some client lines only as a count,
  so its log tells the table in part)."""


def misses(results):
    return listed(results, "misses", "  MISSED ")


def notes(results):
    return listed(results, "notes", "  ")


def listed(results, what, lead):
    """One line per entry of each result's list `what`, named by scenario."""
    return [f"{lead}{result.name}: {entry}" for result in results for entry in getattr(result, what)]
