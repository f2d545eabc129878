// kvmsg_actions: what a severity does with a message: the action names the
// catalogue may list, dispatch in catalogue order, and the two context
// reports.
//
// Invariants: every action of a severity runs, whatever the earlier ones
// returned, unless one ends the process ("End", "KVFatalErrorAbend").
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "kvlog/LegacyErrorHandling.h"
#include "kvlog/kvmsg.h"
#include "kvstd/fileutl.h"

namespace {

const char* text_of(CMessage& m) {
    const char* text = m.Text();
    return text ? text : "";
}

bool act_report(CMessage& m) {
    std::fprintf(kvConsoleStream(), "%s: %s\n", m.definition().Identifier().c_str(), text_of(m));
    std::fflush(kvConsoleStream());
    return true;
}

bool act_report_source(CMessage& m) {
    kvInfoNoLog("%s", "\nSource Context :\n");
    if (CSourceContext* source = m.context().source()) kvPrintContext(*source, false);
    CContextItem* trace = m.context().FindItem(ThreadBacktrace);
    if (trace && trace->type() == CDataItem::kArray && trace->array() && !trace->array()->empty())
        kvPrintContextItem(*trace, kvContextItemName(ThreadBacktrace), false);
    return true;
}

bool act_report_all(CMessage& m) {
    kvPrintContext(m.context(), true);
    kvPrintContext(*GetAppContext(), true);
    return true;
}

bool act_stub(CMessage&) { return false; }

[[noreturn]] bool act_end(CMessage&) {
    std::fflush(nullptr);
    std::exit(12);
}

using EventWriter = void (*)(int, const char*, ...);
using EventIdWriter = void (*)(char*, const char*);

bool emit_event(CMessage& m, EventWriter numbered, EventIdWriter identified) {
    int event = static_cast<int>(m.definition().event);
    // Each Text() call formats anew and frees the previous text: take it once.
    const char* text = text_of(m);
    if (event != 0) {
        numbered(event, "%s", text);
    } else {
        std::vector<char> copy(text, text + std::strlen(text) + 1);
        identified(copy.data(), m.definition().Identifier().c_str());
    }
    return true;
}

bool act_info(CMessage& m) { return emit_event(m, kvInfo, kvInfoMsgId); }
bool act_warn(CMessage& m) { return emit_event(m, kvWarn, kvWarnMsgId); }
bool act_error(CMessage& m) { return emit_event(m, kvFatalError, kvFatalErrorMsgId); }

bool act_abend(CMessage& m) {
    processFatalError(text_of(m), static_cast<int>(m.definition().event));
}

struct ActionName {
    const char* name;
    SeverityAction::Handler handler;
    int32_t kind;
};

constexpr ActionName kActions[] = {
    {"Report", act_report, SeverityAction::kOrdinary},
    {"ReportSourceContext", act_report_source, SeverityAction::kOrdinary},
    {"ReportAllContext", act_report_all, SeverityAction::kOrdinary},
    {"Log", act_stub, SeverityAction::kOrdinary},
    {"Pause", act_stub, SeverityAction::kInteractive},
    {"Debug", act_stub, SeverityAction::kInteractive},
    {"End", act_end, SeverityAction::kTerminating},
    {"Core", act_stub, SeverityAction::kOrdinary},
    {"Bundle", act_stub, SeverityAction::kOrdinary},
    {"KVInfo", act_info, SeverityAction::kOrdinary},
    {"KVWarn", act_warn, SeverityAction::kOrdinary},
    {"KVFatalError", act_error, SeverityAction::kOrdinary},
    {"KVFatalErrorAbend", act_abend, SeverityAction::kTerminating},
};

const char* type_label(int32_t type) {
    switch (type) {
    case CDataItem::kText: return "string      : ";
    case CDataItem::kInt32: return "int32_t     : ";
    case CDataItem::kUInt32: return "uint32_t    : ";
    case CDataItem::kInt64: return "int64_t     : ";
    case CDataItem::kUInt64: return "uint64_t    : ";
    case CDataItem::kBoolean: return "Boolean     : ";
    case CDataItem::kTimestamp: return "DateTime    : ";
    case CDataItem::kPointer: return "Pointer     : ";
    case CDataItem::kArray: return "array       : ";
    default: return "Unknown     : ";
    }
}

// Timestamps later than this are dates, not durations, and get their
// local-time text as well.
constexpr int32_t kDateThreshold = 1189622117;

}  // namespace

bool SeverityAction::Parse(const std::string& action_name) {
    name = action_name;
    handler = nullptr;
    kind = kOrdinary;
    for (const ActionName& a : kActions)
        if (action_name == a.name) {
            handler = a.handler;
            kind = a.kind;
            return true;
        }
    return false;
}

// An action without handler (a name this program does not know) is
// skipped: a newer catalogue may list actions of a newer framework.
bool RunSeverityActions(CMessage& message) {
    const CMessageSeverity* severity = message.definition().severity;
    if (!severity) return true;
    bool all = true;
    for (const SeverityAction& a : severity->actions()) {
        if (a.kind == 0 || !a.handler) continue;
        if (!a.handler(message)) all = false;
    }
    return all;
}

void kvPrintContextItem(const CDataItem& item, const char* name, bool show_types) {
    kvInfoNoLog("  %-24s: ", name ? name : "");
    const char* label = show_types ? type_label(item.type()) : "";
    switch (item.type()) {
    case CDataItem::kText: kvInfoNoLog("%s[%s]\n", label, item.text()); break;
    case CDataItem::kInt32: kvInfoNoLog("%s[%ld]\n", label, static_cast<long>(item.int32())); break;
    case CDataItem::kUInt32:
        kvInfoNoLog("%s[%lu]\n", label, static_cast<unsigned long>(item.bits() & 0xFFFFFFFFu));
        break;
    case CDataItem::kInt64: kvInfoNoLog("%s[%lld]\n", label, static_cast<long long>(item.int64())); break;
    case CDataItem::kUInt64:
        kvInfoNoLog("%s[%llu]\n", label, static_cast<unsigned long long>(item.bits()));
        break;
    case CDataItem::kBoolean: kvInfoNoLog("%s[%s]\n", label, (item.bits() & 0xFF) ? "true" : "false"); break;
    case CDataItem::kTimestamp: {
        kvInfoNoLog("%s[%ld.%09ld]", label, static_cast<long>(item.seconds()),
                    static_cast<long>(item.nanoseconds()));
        if (item.seconds() > kDateThreshold) {
            time_t seconds = item.seconds();
            char text[64];
            if (ctime_r(&seconds, text)) {
                size_t n = std::strlen(text);
                if (n && text[n - 1] == '\n') text[n - 1] = '\0';
                kvInfoNoLog(" [%s]", text);
            }
        }
        kvInfoNoLog("\n");
        break;
    }
    case CDataItem::kPointer:
        kvInfoNoLog("%s[0x%p]\n", label, reinterpret_cast<void*>(static_cast<uintptr_t>(item.bits())));
        break;
    case CDataItem::kArray: {
        const std::vector<CDataItem>* elements = item.array();
        size_t n = elements ? elements->size() : 0;
        kvInfoNoLog("%s[%d] elements\n", label, static_cast<int>(n));
        for (size_t i = 0; i < n; ++i) kvPrintContextItem((*elements)[i], nullptr, show_types);
        break;
    }
    default:
        kvInfoNoLog("%s[0x%p]\n", label, reinterpret_cast<void*>(static_cast<uintptr_t>(item.bits())));
        break;
    }
}

void kvPrintContext(CContext& context, bool show_types) {
    uint32_t count = context.GetItemCount(true);
    for (uint32_t i = 0; i < count; ++i) {
        uint32_t id = context.GetItemId(i);
        CContextItem* item = context.FindItem(id);
        if (item) kvPrintContextItem(*item, kvContextItemName(id), show_types);
    }
}
