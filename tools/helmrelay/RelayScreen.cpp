#include "RelayScreen.h"

#include <vector>

#include "JsonText.h"
#include "SnapshotJson.h"
#include "StatusScreen.h"
#include "TextLayout.h"

namespace {

long long Whole(int64_t value) { return static_cast<long long>(value); }

std::string RelayLines(const RelayFigures& f, size_t clients) {
    std::string text;
    text += Format(
        "relay    listening %s   %zu of %d clients   passed on %lld datagrams (%s), %lld updates   "
        "sends %lld, failed %lld\n",
        f.listen.c_str(), clients, f.maxClients, Whole(f.datagrams), SizeText(static_cast<double>(f.bytes)).c_str(),
        Whole(f.updates), Whole(f.sends), Whole(f.failedSends));
    text +=
        Format("clients  subscribed %lld, timed out %lld, refused %lld   keys passed up: %lld messages, %lld events\n",
               Whole(f.subscriptions), Whole(f.timeouts), Whole(f.refused), Whole(f.keyMessages), Whole(f.keyEvents));
    std::string ignored =
        Format("ignored  %lld not messages, %lld from senders that are no client, %lld not for a master",
               Whole(f.notMessages), Whole(f.notFromClients), Whole(f.notForMaster));
    if (f.notMessages > 0) ignored += Format(" (last: %s)", wire::RejectionText(f.lastRejection));
    return text + ignored + "\n";
}

double PerUpdate(int64_t bytes, int64_t updates) {
    return updates > 0 ? static_cast<double>(bytes) / static_cast<double>(updates) : 0.0;
}

double Share(int64_t part, int64_t whole) {
    return whole > 0 ? static_cast<double>(part) / static_cast<double>(whole) : 0.0;
}

std::string TrunkLines(const TrunkFigures& t) {
    std::string text = Format(
        "trunk    %s end at %s, %s   %s   %s\n", t.nearEnd ? "near" : "far", t.local.c_str(),
        t.nearEnd ? (t.peer.empty() ? "no far end" : ("far end " + t.peer).c_str()) : ("near end " + t.peer).c_str(),
        t.sealed ? "sealed" : "INSECURE", t.nearEnd ? "encoded" : "restored");
    text += Format(
        "         %lld updates   %.0f bytes per update on the trunk for %.0f raw (%.2f %%)   baseline age %u   "
        "without baseline %lld\n",
        Whole(t.updates), PerUpdate(t.trunkBytes, t.updates), PerUpdate(t.rawBytes, t.updates),
        100.0 * Share(t.trunkBytes, t.rawBytes), t.baselineAge, Whole(t.withoutBaseline));
    text += Format(
        "         decode failures %lld   authentication failures %lld   replays %lld   not messages %lld   "
        "key messages %lld\n",
        Whole(t.decodeFailures), Whole(t.authFailures), Whole(t.replays), Whole(t.notMessages), Whole(t.keyMessages));
    return text;
}

std::string TrunkJson(const TrunkFigures& t) {
    JsonMembers m("    ");
    m.Add("end", JsonString(t.nearEnd ? "near" : "far"))
        .Add("local", JsonString(t.local))
        .Add("peer", t.peer.empty() ? "null" : JsonString(t.peer))
        .Add("sealed", t.sealed ? "true" : "false")
        .Add("updates", JsonInteger(t.updates))
        .Add("raw_bytes", JsonInteger(t.rawBytes))
        .Add("trunk_bytes", JsonInteger(t.trunkBytes))
        .Add("data_datagrams", JsonInteger(t.dataDatagrams))
        .Add("trunk_bytes_per_update", JsonNumber(PerUpdate(t.trunkBytes, t.updates)))
        .Add("raw_bytes_per_update", JsonNumber(PerUpdate(t.rawBytes, t.updates)))
        .Add("ratio", JsonNumber(Share(t.trunkBytes, t.rawBytes)))
        .Add("baseline_age", JsonInteger(t.baselineAge))
        .Add("without_baseline", JsonInteger(t.withoutBaseline))
        .Add("decode_failures", JsonInteger(t.decodeFailures))
        .Add("auth_failures", JsonInteger(t.authFailures))
        .Add("replays", JsonInteger(t.replays))
        .Add("not_messages", JsonInteger(t.notMessages))
        .Add("key_messages", JsonInteger(t.keyMessages));
    return m.Object("  ");
}

std::string ClientTableText(const std::vector<ClientRow>& clients) {
    if (clients.empty()) return "(no client yet)\n";
    std::vector<std::vector<std::string>> rows{{"client", "subscribed", "last Ack", "Acks"}};
    for (const ClientRow& c : clients) {
        rows.push_back({c.address, Format("%.1f s ago", c.subscribedSeconds),
                        c.acks > 0 ? Format("%.2f s ago", c.sinceContact) : "none yet",
                        c.joined ? Format("%lld", Whole(c.acks)) : "joining"});
    }
    return TextTable(rows);
}

std::string ClientJson(const ClientRow& c) {
    JsonMembers m("      ");
    m.Add("address", JsonString(c.address))
        .Add("subscribed_s", JsonNumber(c.subscribedSeconds))
        .Add("since_contact_s", JsonNumber(c.sinceContact))
        .Add("acks", JsonInteger(c.acks))
        .Add("joined", c.joined ? "true" : "false");
    return m.Object("    ");
}

}  // namespace

std::string RelayScreen(const RelaySnapshot& s, const std::deque<std::string>& events) {
    std::string text = StatusScreen(s.upstream, "helmrelay");
    text += "\n" + RelayLines(s.relay, s.clients.size());
    if (s.trunk.active) text += TrunkLines(s.trunk);
    text += "\n" + ClientTableText(s.clients);
    if (!events.empty()) text += "\n";
    for (const std::string& line : events) text += line + "\n";
    return text;
}

std::string RelayJson(const RelaySnapshot& s) {
    const RelayFigures& f = s.relay;
    std::vector<std::string> clients;
    for (const ClientRow& c : s.clients) clients.push_back(ClientJson(c));

    JsonMembers relay("    ");
    relay.Add("listen", JsonString(f.listen))
        .Add("max_clients", JsonInteger(f.maxClients))
        .Add("datagrams", JsonInteger(f.datagrams))
        .Add("bytes", JsonInteger(f.bytes))
        .Add("updates", JsonInteger(f.updates))
        .Add("sends", JsonInteger(f.sends))
        .Add("failed_sends", JsonInteger(f.failedSends))
        .Add("subscriptions", JsonInteger(f.subscriptions))
        .Add("timeouts", JsonInteger(f.timeouts))
        .Add("refused", JsonInteger(f.refused))
        .Add("key_messages", JsonInteger(f.keyMessages))
        .Add("key_events", JsonInteger(f.keyEvents))
        .Add("not_messages", JsonInteger(f.notMessages))
        .Add("not_from_clients", JsonInteger(f.notFromClients))
        .Add("not_for_master", JsonInteger(f.notForMaster))
        .Add("last_reason", f.notMessages > 0 ? JsonString(wire::RejectionText(f.lastRejection)) : "null");

    JsonMembers top("  ");
    top.Add("relay", relay.Object("  "))
        .Add("clients", JsonArray(clients, "  "))
        .Add("trunk", s.trunk.active ? TrunkJson(s.trunk) : "null")
        .Add("upstream", JsonNested(SnapshotJson(s.upstream), "  "));
    return top.Object("") + "\n";
}
