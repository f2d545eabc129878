// kvmsg_context: the context tree behind every message: source, error,
// message, application and build contexts. Process and thread facts live
// in kvmsg_process.cpp.
#include "kvlog/kvmsg_context.h"

#include <sys/time.h>

#include <cerrno>
#include <cstring>

#include "kvbuild.h"

// ---- CContext ----

CContext::~CContext() {
    items_.ForEach([](void* v) { delete static_cast<CContextItem*>(v); });
    for (CContext* child : children_)
        if (child->owned_by_parent) delete child;
}

uint32_t CContext::GetItemCount(bool include_children) const {
    uint32_t n = static_cast<uint32_t>(items_.Count());
    if (include_children)
        for (const CContext* child : children_) n += child->GetItemCount(false);
    return n;
}

uint32_t CContext::GetItemId(uint32_t position) const {
    uint32_t key = 0;
    if (items_.KeyAt(position, &key)) return key;
    position -= static_cast<uint32_t>(items_.Count());
    for (const CContext* child : children_) {
        uint32_t n = child->GetItemCount(false);
        if (position < n) return child->GetItemId(position);
        position -= n;
    }
    return 0;
}

CContextItem* CContext::FindOwnItem(uint32_t id) const {
    return static_cast<CContextItem*>(items_.Find(id));
}

CContextItem* CContext::FindItem(uint32_t id) {
    if (CContextItem* item = FindOwnItem(id)) return item;
    for (CContext* child : children_)
        if (CContextItem* item = child->FindItem(id)) return item;
    return nullptr;
}

void CContext::SetItem(uint32_t id, const CDataItem& value) {
    if (CContextItem* item = FindOwnItem(id)) {
        item->Assign(value);
        return;
    }
    auto* item = new CContextItem(id, value);
    items_.Set(id, item);
    if (items_.Find(id) != item) delete item;  // the table had no room
}

// ---- CSourceContext ----

CSourceContext::CSourceContext(const char* module, const char* source_id,
                               const char* function, int line)
    : module_(module ? module : ""), source_id_(source_id ? source_id : ""),
      function_(function ? function : ""), line_(line) {}

CSourceContext::~CSourceContext() = default;

uint32_t CSourceContext::GetItemCount(bool) const { return 4; }

uint32_t CSourceContext::GetItemId(uint32_t position) const {
    static constexpr uint32_t kOrder[] = {SourceModule, SourceID, SourceFunction, SourceLine};
    return position < 4 ? kOrder[position] : 0;
}

CContextItem* CSourceContext::FindItem(uint32_t id) {
    if (!built_) {
        built_ = true;
        SetItem(SourceModule, CDataItem::Borrowed(module_));
        SetItem(SourceID, CDataItem::Borrowed(source_id_));
        SetItem(SourceFunction, CDataItem::Borrowed(function_));
        SetItem(SourceLine, CDataItem::UInt32(static_cast<uint32_t>(line_)));
    }
    return CContext::FindItem(id);
}

// ---- CErrorContext ----

std::string kvSystemErrorText(int error) {
    char buffer[512];
    // The GNU strerror_r returns its text, which may or may not be `buffer`.
    const char* text = strerror_r(error, buffer, sizeof buffer);
    std::string out = text ? text : "";
    while (!out.empty() && (out.back() == '\n' || out.back() == '\r' || out.back() == ' '))
        out.pop_back();
    return out;
}

CErrorContext::CErrorContext() {
    owned_by_parent = false;
    SetItem(ErrAppErrorText, CDataItem(""));
    SetItem(ErrOSErrorCode, CDataItem::UInt32(0));
    SetItem(ErrOSErrorText, CDataItem(""));
}

CErrorContext::~CErrorContext() = default;

void CErrorContext::RecordLastOSError(int error) {
    SetItem(ErrOSErrorCode, CDataItem::UInt32(static_cast<uint32_t>(error)));
}

CContextItem* CErrorContext::FindItem(uint32_t id) {
    if (id == ErrOSErrorText) {
        CContextItem* code = FindOwnItem(ErrOSErrorCode);
        int error = code ? static_cast<int>(code->ToUInt32()) : 0;
        if (error == 0) error = errno;
        system_text_ = error ? kvSystemErrorText(error) : std::string();
        SetItem(ErrOSErrorText, CDataItem(system_text_.c_str()));
    }
    return CContext::FindItem(id);
}

// Built before main by the initialiser below and kept for the whole run:
// messages can still be raised while other modules' static objects are
// destroyed and from the console-event thread, so it must outlive them all.
CErrorContext* GetErrorContext() {
    static CErrorContext* context = new CErrorContext();
    return context;
}

// ---- CMessageContext ----

CMessageContext::CMessageContext(CSourceContext* source) : source_(source) {
    timeval now{};
    gettimeofday(&now, nullptr);
    SetItem(MessageTime, CDataItem::Timestamp(static_cast<int32_t>(now.tv_sec),
                                              static_cast<int32_t>(now.tv_usec)));
    SetItem(MessageDetails, CDataItem::Array(&arguments_));
    AddChild(GetErrorContext());
    if (source_) AddChild(source_);
    AddChild(GetAppContext());
}

CMessageContext::~CMessageContext() = default;

void CMessageContext::SetArgument(size_t position, const CDataItem& value) {
    if (arguments_.size() <= position) arguments_.resize(position + 1, CDataItem::Int32(0));
    arguments_[position] = value;
}

void CMessageContext::CaptureThread() {
    if (thread_) return;
    thread_ = new CThreadContext();
    AddChild(thread_);
}

// ---- CBuildContext ----

CBuildContext::CBuildContext() {
    owned_by_parent = true;
    SetItem(BuildApplication, CDataItem("tabcopy"));
    SetItem(BuildVersion, CDataItem(KV_BUILD_VERSION));
    SetItem(BuildConfig, CDataItem(KV_BUILD_CONFIG));
    SetItem(BuildDateTime, CDataItem::Timestamp(static_cast<int32_t>(KV_BUILD_EPOCH), 0));
    SetItem(BuildHostName, CDataItem(KV_BUILD_HOST));
    // No database client is linked into this program.
    SetItem(BuildDBMS, CDataItem(""));
    SetItem(BuildDBMSVersion, CDataItem(""));
    SetItem(BuildOS, CDataItem(KV_BUILD_OS));
    SetItem(BuildOSArch, CDataItem(KV_BUILD_ARCH));
}

CBuildContext::~CBuildContext() = default;

// ---- CAppContext ----

CAppContext::CAppContext() {
    owned_by_parent = false;
    timeval now{};
    gettimeofday(&now, nullptr);
    SetItem(AppInstance, CDataItem(""));
    SetItem(AppInstanceDescription, CDataItem(""));
    SetItem(AppStartTime, CDataItem::Timestamp(static_cast<int32_t>(now.tv_sec),
                                               static_cast<int32_t>(now.tv_usec)));
    SetItem(AppOperatingNormally, CDataItem::Boolean(true));
    AddChild(new CBuildContext());
    AddChild(new CProcessContext());
}

CAppContext::~CAppContext() = default;

// Kept for the whole run, like the error context.
CAppContext* GetAppContext() {
    static CAppContext* context = new CAppContext();
    return context;
}

namespace {
// Builds the process-wide contexts before main, so the start time is the
// program's and no message pays for building them.
[[maybe_unused]] const bool contexts_built = (GetErrorContext(), GetAppContext(), true);
}  // namespace
