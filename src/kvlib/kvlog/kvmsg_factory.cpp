// kvmsg_factory: finding and opening the message catalogue, the severity
// tables, the definition cache and message creation.
//
// Invariants: a definition enters the cache only when its whole entry was
// read without error; caller values are consumed strictly by the kinds the
// entry declares, and a missing value becomes an empty text or 0, so a
// mismatch between a site and its entry can never read past the values
// passed.
#include <sys/stat.h>
#include <unicode/udata.h>
#include <unicode/putil.h>
#include <unicode/ures.h>

#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "kvlog/kvmsg.h"

// Must equal the "UUID" of catalogue/kvMessage: a catalogue built for
// another version of the program has other codes, texts or arguments.
const char kvMessageCatalogueUuid[37] = "131b4523-1ae4-426a-a398-8419dadceeca";

namespace {

constexpr kvModuleId kModule{"kvmsg", "kvmsg_factory.cpp 1.0"};
constexpr const char* kPackage = "kvMessage";

bool file_exists(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0;
}

// Where `file` is, looked for in the program's data folder (../share/tabcopy
// from the program, where an installed program has it), beside the
// program (a build tree), then in the working directory; "" when nowhere.
std::string find_in(const std::string& exe_dir, const std::string& work_dir,
                    const std::string& file) {
    const std::string data_dir = exe_dir.empty() ? std::string() : exe_dir + "/../share/tabcopy";
    for (const std::string* dir : {&data_dir, &exe_dir, &work_dir}) {
        if (dir->empty()) continue;
        std::string path = *dir + "/" + file;
        if (file_exists(path)) return path;
    }
    return {};
}

void report_load_error(const std::string& what, UErrorCode status) {
    std::fprintf(stderr, "Cannot load ICU resource bundle '%s', error code %lu - %s\n",
                 what.c_str(), static_cast<unsigned long>(status), u_errorName(status));
    std::fflush(stderr);
}

uint16_t class_key(const char* c) {
    return static_cast<uint16_t>(static_cast<unsigned char>(c[0]) |
                                 (c[0] ? static_cast<unsigned char>(c[1]) << 8 : 0));
}

uint32_t number_key(const char* n) {
    uint32_t key = 0;
    for (int i = 0; i < 3 && n[i]; ++i) key |= static_cast<uint32_t>(static_cast<unsigned char>(n[i])) << (8 * i);
    return key;
}

std::string platform_string(const icu::UnicodeString& text, bool* ok) {
    std::unique_ptr<char[]> converted = ToPlatformText(text);
    if (!converted) {
        *ok = false;
        return {};
    }
    return converted.get();
}

// One caller value as the entry's kind wants it.
CDataItem value_of_kind(uint32_t kind, const kvMsgArg* arg) {
    if (kind == 0) {
        if (!arg) return CDataItem("");
        if (arg->is_text()) return CDataItem(arg->text());
        std::string digits = arg->kind() == kvMsgArg::Kind::UInt64
                                 ? std::to_string(arg->unsigned_number())
                                 : std::to_string(arg->number());
        return CDataItem(digits.c_str());
    }
    int64_t n = 0;
    uint64_t u = 0;
    if (arg && !arg->is_text()) {
        n = arg->number();
        u = arg->unsigned_number();
    }
    switch (kind) {
    case 1: return CDataItem::Int32(static_cast<int32_t>(n));
    case 2: return CDataItem::UInt32(static_cast<uint32_t>(u));
    case 3: return CDataItem::Int64(n);
    case 4: return CDataItem::UInt64(u);
    case 5: return CDataItem::Boolean(static_cast<uint32_t>(u) != 0);
    // Eight bytes: seconds in the low word, microseconds in the high one.
    case 6: return CDataItem::Timestamp(static_cast<int32_t>(u & 0xFFFFFFFFu),
                                        static_cast<int32_t>(u >> 32));
    case 7: return CDataItem::Pointer(reinterpret_cast<const void*>(static_cast<uintptr_t>(u)));
    default: return CDataItem::Int32(0);
    }
}

CMessageFactory* g_factory = nullptr;

}  // namespace

std::string CMessageDefinition::Identifier() const {
    return std::string(message_class) + "-" + number;
}

CMessageFactory::CMessageFactory() : locale_(icu::Locale::getDefault()) {}
CMessageFactory::~CMessageFactory() = default;

bool CMessageFactory::LoadCatalogue() {
    CAppContext* app = GetAppContext();
    auto text_of = [app](uint32_t id) {
        CContextItem* item = app->FindItem(id);
        return std::string(item ? item->text() : "");
    };
    return LoadCatalogueFrom(text_of(BuildApplication), text_of(ProcessExecutableDir),
                             text_of(ProcessWorkingDir));
}

// 1 registered; 0 not read whole (the data is dropped and the search goes
// on); -1 refused by ICU (reported).
int CMessageFactory::RegisterData(const std::string& path) {
    struct stat st {};
    if (stat(path.c_str(), &st) != 0) return 0;
    FILE* in = std::fopen(path.c_str(), "rb");
    if (!in) return 0;
    app_data_.assign(static_cast<size_t>(st.st_size), 0);
    size_t got = app_data_.empty() ? 0 : std::fread(app_data_.data(), 1, app_data_.size(), in);
    std::fclose(in);
    if (got != app_data_.size() || app_data_.empty()) {
        app_data_.clear();
        return 0;
    }
    UErrorCode status = U_ZERO_ERROR;
    udata_setAppData(kPackage, app_data_.data(), &status);
    if (U_FAILURE(status)) {
        report_load_error(path, status);
        app_data_.clear();
        return -1;
    }
    return 1;
}

bool CMessageFactory::LoadCatalogueFrom(const std::string& application,
                                        const std::string& exe_dir,
                                        const std::string& work_dir) {
    if (bundle_) return false;
    bool registered = false;
    std::string data_file = find_in(exe_dir, work_dir, application + ".dat");
    if (!data_file.empty()) {
        int outcome = RegisterData(data_file);
        if (outcome < 0) return false;
        registered = outcome > 0;
    }
    if (!registered && std::strlen(u_getDataDirectory()) == 0) {
        std::string package_file = find_in(exe_dir, work_dir, std::string(kPackage) + ".dat");
        if (!package_file.empty())
            u_setDataDirectory(package_file.substr(0, package_file.rfind('/')).c_str());
    }

    UErrorCode status = U_ZERO_ERROR;
    auto bundle = std::make_unique<icu::ResourceBundle>(kPackage, locale_, status);
    if (status > U_ZERO_ERROR) {
        report_load_error(kPackage, status);
        return false;
    }

    status = U_ZERO_ERROR;
    icu::UnicodeString uuid = bundle->getStringEx("UUID", status);
    if (U_FAILURE(status)) {
        std::fprintf(stderr,
                     "The ICU resource bundle, '%s', is the wrong version.  Expecting '%s' but received '%s'.\n",
                     kPackage, kvMessageCatalogueUuid, "<Not Found>");
        std::fflush(stderr);
        return false;
    }
    bool ok = true;
    std::string received = platform_string(uuid, &ok);
    if (!ok || received != kvMessageCatalogueUuid) {
        std::fprintf(stderr,
                     "The ICU resource bundle, '%s', is the wrong version.  Expecting '%s' but received '%s'.\n",
                     kPackage, kvMessageCatalogueUuid, received.c_str());
        std::fflush(stderr);
        return false;
    }
    bundle_ = std::move(bundle);
    if (!ReadSeverities()) {
        bundle_.reset();
        return false;
    }
    return true;
}

// A catalogue without one of the three tables loads with that table empty;
// its messages then have no severity and dispatch runs no action.
bool CMessageFactory::ReadSeverities() {
    UErrorCode status = U_ZERO_ERROR;
    icu::ResourceBundle actions = bundle_->get("SeverityActions", status);
    if (U_SUCCESS(status)) {
        for (int32_t i = 0; i < actions.getSize(); ++i) {
            status = U_ZERO_ERROR;
            icu::ResourceBundle entry = actions.get(i, status);
            if (U_FAILURE(status)) return false;
            auto severity = std::make_unique<CMessageSeverity>(entry.getKey() ? entry.getKey() : "");
            for (int32_t j = 0; j < entry.getSize(); ++j) {
                icu::UnicodeString name = entry.getStringEx(j, status);
                if (U_FAILURE(status)) return false;
                bool ok = true;
                std::string action_name = platform_string(name, &ok);
                if (!ok) return false;
                SeverityAction action;
                action.Parse(action_name);
                severity->actions().push_back(std::move(action));
            }
            AddSeverity(std::move(severity));
        }
    }
    for (const char* table : {"MessageClassSeverity", "MessageCodeSeverity"}) {
        bool by_code = std::strcmp(table, "MessageCodeSeverity") == 0;
        status = U_ZERO_ERROR;
        icu::ResourceBundle map = bundle_->get(table, status);
        if (U_FAILURE(status)) continue;
        for (int32_t i = 0; i < map.getSize(); ++i) {
            status = U_ZERO_ERROR;
            icu::ResourceBundle entry = map.get(i, status);
            icu::UnicodeString value = entry.getString(status);
            if (U_FAILURE(status) || !entry.getKey()) continue;
            bool ok = true;
            std::string name = platform_string(value, &ok);
            if (!ok) return false;
            std::string key = entry.getKey();
            if (by_code) {
                if (key.size() < 5) continue;
                MapSeverity(key.substr(0, 2).c_str(), key.substr(2, 3).c_str(), name);
            } else {
                MapSeverity(key.c_str(), nullptr, name);
            }
        }
    }
    return true;
}

CMessageSeverity* CMessageFactory::AddSeverity(std::unique_ptr<CMessageSeverity> severity) {
    severities_.push_back(std::move(severity));
    return severities_.back().get();
}

bool CMessageFactory::MapSeverity(const char* key, const char* number, const std::string& name) {
    const CMessageSeverity* found = nullptr;
    for (const auto& s : severities_)
        if (s->name() == name) {
            found = s.get();
            break;
        }
    if (!found) return false;
    ClassEntry& entry = classes_[class_key(key)];
    if (!entry.default_severity) entry.default_severity = found;
    if (number) entry.numbers[number_key(number)] = found;
    return true;
}

const CMessageSeverity* CMessageFactory::LookupSeverity(const char* message_class,
                                                        const char* number) const {
    auto c = classes_.find(class_key(message_class));
    if (c == classes_.end()) return nullptr;
    auto n = c->second.numbers.find(number_key(number));
    return n != c->second.numbers.end() ? n->second : c->second.default_severity;
}

const CMessageDefinition* CMessageFactory::AddDefinition(std::unique_ptr<CMessageDefinition> definition) {
    uint32_t code = definition->code;
    auto& slot = definitions_[code];
    slot = std::move(definition);
    return slot.get();
}

const CMessageDefinition* CMessageFactory::CachedDefinition(uint32_t code) const {
    auto it = definitions_.find(code);
    return it == definitions_.end() ? nullptr : it->second.get();
}

const CMessageDefinition* CMessageFactory::ReadDefinition(uint32_t code) {
    char key[16];
    std::snprintf(key, sizeof key, "%lu", static_cast<unsigned long>(code));
    UErrorCode status = U_ZERO_ERROR;
    icu::ResourceBundle entry = bundle_->get(key, status);
    if (U_FAILURE(status)) return nullptr;
    ++entry_reads_;
    if (entry.getSize() < 5) return nullptr;

    auto def = std::make_unique<CMessageDefinition>();
    def->code = code;
    bool ok = true;
    std::string message_class = platform_string(entry.getStringEx(0, status), &ok);
    std::string number = platform_string(entry.getStringEx(1, status), &ok);
    std::strncpy(def->message_class, message_class.c_str(), 2);
    std::strncpy(def->number, number.c_str(), 3);
    def->pattern = entry.getStringEx(2, status);
    def->flag = entry.get(3, status).getInt(status) != 0;
    def->event = static_cast<uint32_t>(entry.get(4, status).getInt(status));
    if (U_FAILURE(status) || !ok) return nullptr;
    if (entry.getSize() > 5) {
        icu::ResourceBundle details = entry.get(5, status);
        for (int32_t i = 0; U_SUCCESS(status) && i < details.getSize(); ++i) {
            icu::ResourceBundle d = details.get(i, status);
            if (U_FAILURE(status)) break;
            CMessageDetail detail;
            icu::ResourceBundle first = d.get(0, status);
            if (U_FAILURE(status)) break;
            if (first.getType() == URES_INT) {
                detail.from_context = true;
                detail.item = first.getUInt(status);
            } else {
                detail.name = platform_string(first.getString(status), &ok);
            }
            detail.stored_kind = static_cast<uint32_t>(d.get(1, status).getInt(status));
            detail.kind = detail.stored_kind >= 1 && detail.stored_kind <= 7 ? detail.stored_kind : 0;
            if (d.getSize() > 2) detail.width = static_cast<uint32_t>(d.get(2, status).getInt(status));
            def->details.push_back(std::move(detail));
        }
    }
    if (U_FAILURE(status) || !ok) return nullptr;
    def->severity = LookupSeverity(def->message_class, def->number);
    return AddDefinition(std::move(def));
}

CMessage* CMessageFactory::CreateMessage(CSourceContext* source, uint32_t code,
                                         std::span<const kvMsgArg> args) {
    const CMessageDefinition* def = bundle_ ? CachedDefinition(code) : nullptr;
    if (bundle_ && !def) def = ReadDefinition(code);
    if (!def) {
        delete source;
        return nullptr;
    }
    return BuildMessage(def, source, args);
}

CMessage* CMessageFactory::BuildMessage(const CMessageDefinition* def, CSourceContext* source,
                                        std::span<const kvMsgArg> args) {
    auto* message = new CMessage(this, def, source, locale_);
    CMessageContext& context = message->context();
    size_t next = 0;
    for (size_t i = 0; i < def->details.size(); ++i) {
        const CMessageDetail& d = def->details[i];
        if (!d.from_context) {
            const kvMsgArg* arg = next < args.size() ? &args[next] : nullptr;
            ++next;
            context.SetArgument(i, value_of_kind(d.kind, arg));
            continue;
        }
        if (!context.thread_captured() && (d.item == ThreadID || d.item == ThreadBacktrace))
            context.CaptureThread();
        CContextItem* item = context.FindItem(d.item);
        if (!item) {
            const char* name = kvContextItemName(d.item);
            kvRaiseMessage(KV_SITE_FN(kModule, "CMessageFactory::CreateMessage"), 1425,
                           {static_cast<int32_t>(i + 1), name ? name : "",
                            source ? source->source_id() : "",
                            static_cast<int32_t>(source ? source->line() : 0)});
            context.SetItem(d.item, d.kind == 0 ? CDataItem("<Missing>") : CDataItem::Int32(0));
            item = context.FindItem(d.item);
        }
        context.SetArgument(i, item ? static_cast<const CDataItem&>(*item) : CDataItem::Int32(0));
    }
    if (!context.thread_captured() && def->severity) {
        for (const SeverityAction& a : def->severity->actions())
            if (a.kind != SeverityAction::kOrdinary) {
                context.CaptureThread();
                break;
            }
    }
    return message;
}

// Null while the catalogue is being loaded: a message raised meanwhile (a
// failed allocation during the load) would find the severities half read.
CMessageFactory* GetMessageFactory() {
    static bool loading = false;
    if (!g_factory && !loading) {
        loading = true;
        auto* factory = new CMessageFactory();
        if (!factory->LoadCatalogue()) {
            delete factory;
            std::abort();
        }
        g_factory = factory;
        loading = false;
    }
    return g_factory;
}
