// raise: the one call through which every module reports a numbered
// message.
//
// A raising site names itself (module, source-ID string, function, line),
// the message code and the values the catalogue declares for that code, in
// order. The site never decides what happens next: the catalogue's severity
// does. When that severity ends the process the call does not return;
// otherwise the caller carries on with its own recovery.
//
// Values are typed at the call (text, 32-bit or 64-bit integer), so a
// mismatch between what a site passes and what the catalogue declares can
// never read beyond the values passed: it is converted or shown as missing.
//
// The call lives at the bottom of the libraries so that every one of them
// can raise; what a message then does (catalogue, severity, event output)
// belongs to the logging library above, which installs its handlers at
// start-up (kvLogStartUp). Until then a message is only named on standard
// error, and an abend ends the process with status 1.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <span>
#include <string>
#include <type_traits>

// Identity of one source module, declared once per file.
struct kvModuleId {
    const char* name;       // dotted module name, e.g. "tabform.main"
    const char* source_id;  // the module's version-control identification
};

// Where a message is raised.
struct kvSourceSite {
    const char* module;
    const char* source_id;
    const char* function;
    int line;
};

// One caller value of a message.
class kvMsgArg {
public:
    enum class Kind { Text, Int32, UInt32, Int64, UInt64 };

    kvMsgArg(const char* text) : kind_(Kind::Text), text_(text ? text : "") {}
    kvMsgArg(const std::string& text) : kind_(Kind::Text), text_(text.c_str()) {}
    template <typename T, typename = std::enable_if_t<std::is_integral_v<T>>>
    kvMsgArg(T value) : kind_(kind_of<T>()), number_(static_cast<int64_t>(value)) {
        if constexpr (std::is_unsigned_v<T> && sizeof(T) == 8)
            unumber_ = static_cast<uint64_t>(value);
        else
            unumber_ = static_cast<uint64_t>(number_);
    }

    Kind kind() const { return kind_; }
    bool is_text() const { return kind_ == Kind::Text; }
    const char* text() const { return text_; }
    int64_t number() const { return number_; }
    uint64_t unsigned_number() const { return unumber_; }

private:
    template <typename T>
    static constexpr Kind kind_of() {
        if constexpr (sizeof(T) <= 4)
            return std::is_signed_v<T> ? Kind::Int32 : Kind::UInt32;
        else
            return std::is_signed_v<T> ? Kind::Int64 : Kind::UInt64;
    }

    Kind kind_;
    const char* text_ = nullptr;
    int64_t number_ = 0;
    uint64_t unumber_ = 0;
};

// Raises message `code` from `site` with `args`. Returns unless the
// message's severity ends the process.
void kvRaiseMessage(const kvSourceSite& site, uint32_t code,
                    std::span<const kvMsgArg> args);

inline void kvRaiseMessage(const kvSourceSite& site, uint32_t code,
                           std::initializer_list<kvMsgArg> args = {}) {
    kvRaiseMessage(site, code, std::span<const kvMsgArg>(args.begin(), args.size()));
}

// The source site of the current function in module `mod` (a kvModuleId).
#define KV_SITE(mod) (kvSourceSite{(mod).name, (mod).source_id, __func__, __LINE__})
// The same, naming the function explicitly (for methods and wrappers whose
// reported name differs from the C++ one).
#define KV_SITE_FN(mod, fn) (kvSourceSite{(mod).name, (mod).source_id, (fn), __LINE__})

// Test seam: an observer sees every raised message before dispatch. When it
// returns false the message is not dispatched (so a test can check that a
// fatal message was raised and that the caller then recovers safely).
// Passing nullptr removes the observer.
using kvMessageObserver = bool (*)(const kvSourceSite& site, uint32_t code,
                                   std::span<const kvMsgArg> args, void* user);
void kvSetMessageObserver(kvMessageObserver observer, void* user);

// What the logging library does with a message, and how it ends the
// process after an unrecoverable failure. `os_error` is the raising site's
// errno. Both must be set; `abend` never returns.
struct kvMessageHandlers {
    void (*dispatch)(const kvSourceSite& site, uint32_t code, std::span<const kvMsgArg> args,
                     int os_error);
    void (*abend)();
};
void kvSetMessageHandlers(const kvMessageHandlers& handlers);

// Ends the process through the installed abend (the event, the pause at
// end, status 1).
[[noreturn]] void kvAbend();
