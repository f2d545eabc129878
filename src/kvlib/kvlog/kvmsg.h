// kvmsg: the message factory, message definitions, severities and their
// actions. The factory loads the "kvMessage" catalogue once, keeps one
// definition per code once it has been read, and turns (source context,
// code, values) into a CMessage; RunSeverityActions dispatches it.
//
// Invariants: whether a message ends the process is decided only by the
// severity the catalogue assigns; definitions and severity tables never
// change once built; a message owns its context, which owns the source
// context of the raising site.
#pragma once

#include <unicode/locid.h>
#include <unicode/resbund.h>
#include <unicode/unistr.h>

#include <cstdint>
#include <map>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "kvlog/kvmsg_context.h"
#include "kvlog/kvraise.h"

// The catalogue this program was built with.
extern const char kvMessageCatalogueUuid[37];

class CMessage;

// One action of a severity.
struct SeverityAction {
    enum Kind : int32_t { kTerminating = 1, kInteractive = 2, kOrdinary = 4 };
    using Handler = bool (*)(CMessage& message);

    std::string name;
    Handler handler = nullptr;
    int32_t kind = kOrdinary;

    // Fills handler and kind from the name (exact, case-sensitive); true
    // when the name is known.
    bool Parse(const std::string& action_name);
};

class CMessageSeverity {
public:
    explicit CMessageSeverity(std::string name) : name_(std::move(name)) {}
    virtual ~CMessageSeverity() = default;
    const std::string& name() const { return name_; }
    std::vector<SeverityAction>& actions() { return actions_; }
    const std::vector<SeverityAction>& actions() const { return actions_; }

private:
    std::string name_;
    std::vector<SeverityAction> actions_;
};

// One argument descriptor of a catalogue entry.
class CMessageDetail {
public:
    virtual ~CMessageDetail() = default;
    bool from_context = false;  // the argument is a context item, not a caller value
    std::string name;        // the caller value's name; empty for a context item
    uint32_t item = 0;       // ContextItemID when from_context
    uint32_t stored_kind = 0;
    uint32_t kind = 0;       // 0 text, 1 int32 ... 7 pointer
    uint32_t width = 0;      // hexadecimal display width, 0 for none
};

struct CMessageDefinition {
    uint32_t code = 0;
    const CMessageSeverity* severity = nullptr;
    char message_class[3] = {};
    char number[4] = {};
    icu::UnicodeString pattern;
    bool flag = false;
    uint32_t event = 0;
    std::vector<CMessageDetail> details;

    // Class "-" number.
    std::string Identifier() const;
};

class CMessageFactory;

class CMessage {
public:
    CMessage(CMessageFactory* factory, const CMessageDefinition* definition,
             CSourceContext* source, const icu::Locale& locale);
    virtual ~CMessage();
    CMessage(const CMessage&) = delete;
    CMessage& operator=(const CMessage&) = delete;

    const CMessageDefinition& definition() const { return *definition_; }
    CMessageContext& context() { return *context_; }
    // The text formatted from the pattern and the arguments; kept until the
    // next call. Null when conversion to the platform code page fails.
    const char* Text();

private:
    [[maybe_unused]] CMessageFactory* factory_;  // the factory that made it
    const CMessageDefinition* definition_;
    std::unique_ptr<CMessageContext> context_;
    icu::Locale locale_;
    std::unique_ptr<char[]> text_;
};

class CMessageFactory {
public:
    CMessageFactory();
    virtual ~CMessageFactory();
    CMessageFactory(const CMessageFactory&) = delete;
    CMessageFactory& operator=(const CMessageFactory&) = delete;

    // Finds, registers and opens the catalogue, checks its UUID and builds
    // the severity tables. False (with the reason on standard error) on
    // failure, or when a catalogue is already open.
    bool LoadCatalogue();
    // The same, with the program name and the two directories searched given
    // explicitly.
    bool LoadCatalogueFrom(const std::string& application, const std::string& exe_dir,
                           const std::string& work_dir);

    // A new message, or null when no catalogue is open or the code has no
    // readable entry. Owns `source` in every case.
    CMessage* CreateMessage(CSourceContext* source, uint32_t code,
                            std::span<const kvMsgArg> args);
    // Builds a message from a definition the factory holds.
    CMessage* BuildMessage(const CMessageDefinition* definition, CSourceContext* source,
                           std::span<const kvMsgArg> args);

    const CMessageSeverity* LookupSeverity(const char* message_class, const char* number) const;
    // Maps class `key` (and `number` when given) to the severity `name`;
    // false when no severity has that name.
    bool MapSeverity(const char* key, const char* number, const std::string& name);
    // Appends a severity (catalogue loading, and tests).
    CMessageSeverity* AddSeverity(std::unique_ptr<CMessageSeverity> severity);
    // Places a definition in the cache (catalogue reading, and tests).
    const CMessageDefinition* AddDefinition(std::unique_ptr<CMessageDefinition> definition);
    const CMessageDefinition* CachedDefinition(uint32_t code) const;
    // Number of catalogue reads of message entries so far.
    size_t entry_reads() const { return entry_reads_; }
    bool loaded() const { return bundle_ != nullptr; }

private:
    struct ClassEntry {
        const CMessageSeverity* default_severity = nullptr;
        std::map<uint32_t, const CMessageSeverity*> numbers;
    };

    const CMessageDefinition* ReadDefinition(uint32_t code);
    int RegisterData(const std::string& path);
    bool ReadSeverities();

    std::map<uint32_t, std::unique_ptr<CMessageDefinition>> definitions_;
    icu::Locale locale_;
    std::unique_ptr<icu::ResourceBundle> bundle_;
    std::map<uint16_t, ClassEntry> classes_;
    std::vector<std::unique_ptr<CMessageSeverity>> severities_;
    std::vector<char> app_data_;
    size_t entry_reads_ = 0;
};

// The process-wide factory; the first call loads the catalogue and aborts
// the process when that fails. Null to a call made while it loads.
CMessageFactory* GetMessageFactory();

// Runs every action of the message's severity in catalogue order; true
// only when each returned true. Actions that end the process do not return.
bool RunSeverityActions(CMessage& message);

// Context reports.
void kvPrintContext(CContext& context, bool show_types);
// `name` null prints an empty name.
void kvPrintContextItem(const CDataItem& item, const char* name, bool show_types);

// Converts ICU text to the platform code page; null on failure.
std::unique_ptr<char[]> ToPlatformText(const icu::UnicodeString& text);
