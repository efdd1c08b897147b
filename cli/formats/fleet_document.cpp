#include "cli/formats/fleet_document.h"

#include "cli/formats/json_document.h"
#include "cli/formats/json_writer.h"
#include "cli/telemetry/clocks.h"

namespace cli {
namespace {

// Where an entry comes from: its document and the machine that wrote it.
void WriteSource(JsonWriter& w, const FleetDocument& document) {
    w.Key("file");
    w.String(document.path);
    w.Key("host");
    StringOrNull(w, document.host);
}

void WriteModels(JsonWriter& w, const FleetRecord& fleet) {
    std::vector<std::size_t> counts(fleet.models.size());
    for (const FleetCard& card : fleet.cards) ++counts[card.model];
    w.BeginArray();
    for (std::size_t m = 0; m < fleet.models.size(); ++m) {
        const ModelTimes& t = fleet.times[m];
        w.BeginObject();
        w.Key("name");
        w.String(fleet.models[m].first);
        w.Key("dedicatedMemoryBytes");
        w.Unsigned(fleet.models[m].second);
        w.Key("cards");
        w.Unsigned(counts[m]);
        w.Key("completed");
        w.Unsigned(t.completed);
        for (const auto& [key, value] : {std::pair{"minMs", t.minMs}, std::pair{"medianMs", t.medianMs},
                                         std::pair{"maxMs", t.maxMs}}) {
            w.Key(key);
            NumberOrNull(w, t.completed > 0, value);
        }
        w.EndObject();
    }
    w.EndArray();
}

void WriteCard(JsonWriter& w, const FleetRecord& fleet, const FleetCard& card) {
    w.BeginObject();
    WriteSource(w, fleet.documents[card.document]);
    w.Key("index");
    w.Unsigned(card.index);
    w.Key("model");
    w.Unsigned(card.model);
    w.Key("pciBusId");
    StringOrNull(w, card.pciBusId);
    w.Key("uuid");
    StringOrNull(w, card.uuid);
    w.Key("outcome");
    w.String(RunStatusName(card.status));
    w.Key("verdict");
    w.String(card.verdict ? VerdictName(card.verdict->verdict) : RunStatusName(card.status));
    w.Key("slow");
    w.Bool(card.verdict && card.verdict->slow);
    w.Key("slowdownReasonNames");
    w.BeginArray();
    for (const std::string& name : ClockEventReasonNames(card.verdict ? card.verdict->slowdownReasons : 0)) {
        w.String(name);
    }
    w.EndArray();
    const bool measured = card.status == RunStatus::Completed;
    w.Key("medianMs");
    NumberOrNull(w, measured, card.medianMs);
    w.Key("vsModelMedianPercent");
    NumberOrNull(w, measured, measured ? PercentAboveModel(card.medianMs, card.verdict->modelMedianMs) : 0.0);
    w.Key("error");
    if (card.status == RunStatus::Error) w.String(card.errorText); else w.Null();
    w.EndObject();
}

}  // namespace

std::string WriteFleetDocument(const FleetRecord& fleet, const BuildInfo& tool) {
    JsonWriter w;
    w.BeginObject();
    w.Key("summaryVersion");
    w.Integer(kSummarySchemaVersion);
    w.Key("tool");
    StringObject(w, {{"name", tool.name}, {"version", tool.version}});
    w.Key("tolerancePercent");
    w.Number(fleet.tolerancePercent);
    w.Key("exitCode");
    w.Integer(ToInt(FleetExitCode(fleet)));
    w.Key("documents");
    w.Unsigned(fleet.documents.size());
    w.Key("hosts");
    w.Unsigned(fleet.hostCount);
    w.Key("cards");
    w.Unsigned(fleet.cards.size());
    w.Key("models");
    WriteModels(w, fleet);
    w.Key("notOk");
    w.BeginArray();
    for (const FleetCard& card : fleet.cards) {
        if (!card.verdict || card.verdict->verdict != Verdict::Ok) WriteCard(w, fleet, card);
    }
    w.EndArray();
    w.Key("runsWithoutCards");
    w.BeginArray();
    for (const RunWithoutCard& run : fleet.runsWithoutCards) {
        w.BeginObject();
        WriteSource(w, fleet.documents[run.document]);
        w.Key("outcome");
        w.String(RunStatusName(run.status));
        w.Key("error");
        if (run.status == RunStatus::Error) w.String(run.errorText); else w.Null();
        w.EndObject();
    }
    w.EndArray();
    w.Key("unreadable");
    w.BeginArray();
    for (const UnreadableFile& file : fleet.unreadable) StringObject(w, {{"file", file.path}, {"reason", file.reason}});
    w.EndArray();
    w.EndObject();
    return w.Text();
}

}  // namespace cli
