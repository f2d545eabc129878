// kvmsg_context: diagnostic contexts, named bags of facts with children.
// Every message carries a CMessageContext whose children are the
// process-wide error context, the raising site's source context, the
// application context (with its build and process children) and, when
// captured, a thread context.
//
// Invariants: a context owns its items; it deletes a child only when the
// child's owned_by_parent flag is set, so the process-wide error and
// application contexts are never deleted through a message. Lookups search
// own items first, then the children in order (reaching grandchildren).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "kvlog/kvmsg_items.h"

class CContext {
public:
    CContext() = default;
    virtual ~CContext();
    CContext(const CContext&) = delete;
    CContext& operator=(const CContext&) = delete;

    // Own items; with `include_children`, plus each direct child's own.
    virtual uint32_t GetItemCount(bool include_children) const;
    // Positions run over own items in table order, then each child's own
    // items in child order. 0 when out of range.
    virtual uint32_t GetItemId(uint32_t position) const;
    virtual CContextItem* FindItem(uint32_t id);

    // Stores `value` under `id`, replacing an existing item's value.
    void SetItem(uint32_t id, const CDataItem& value);
    void AddChild(CContext* child) { children_.push_back(child); }
    const std::vector<CContext*>& children() const { return children_; }

    bool owned_by_parent = true;

protected:
    CContextItem* FindOwnItem(uint32_t id) const;

    SparseArray items_;
    std::vector<CContext*> children_;
};

// Where a message was raised. Its four items are built on first lookup.
class CSourceContext : public CContext {
public:
    CSourceContext(const char* module, const char* source_id, const char* function, int line);
    ~CSourceContext() override;
    uint32_t GetItemCount(bool include_children) const override;
    uint32_t GetItemId(uint32_t position) const override;
    CContextItem* FindItem(uint32_t id) override;

    const char* module() const { return module_; }
    const char* source_id() const { return source_id_; }
    const char* function() const { return function_; }
    int line() const { return line_; }

private:
    const char* module_;
    const char* source_id_;
    const char* function_;
    int line_;
    bool built_ = false;
};

// The last operating-system error of the raising thread (errno here).
class CErrorContext : public CContext {
public:
    CErrorContext();
    ~CErrorContext() override;
    CContextItem* FindItem(uint32_t id) override;
    void RecordLastOSError(int error);

private:
    std::string system_text_;
};

// Text of a system error number, trailing newlines and blanks removed.
std::string kvSystemErrorText(int error);

CErrorContext* GetErrorContext();

class CThreadContext;

class CMessageContext : public CContext {
public:
    explicit CMessageContext(CSourceContext* source);
    ~CMessageContext() override;

    // Sets argument `position`, filling missing positions with int32 0.
    void SetArgument(size_t position, const CDataItem& value);
    const std::vector<CDataItem>& arguments() const { return arguments_; }
    CSourceContext* source() const { return source_; }
    bool thread_captured() const { return thread_ != nullptr; }
    void CaptureThread();

private:
    std::vector<CDataItem> arguments_;
    CSourceContext* source_;
    CThreadContext* thread_ = nullptr;
};

class CBuildContext : public CContext {
public:
    CBuildContext();
    ~CBuildContext() override;
};

// Facts about this process, its host and its resource use; the volatile
// ones are recomputed on each lookup.
class CProcessContext : public CContext {
public:
    CProcessContext();
    ~CProcessContext() override;
    CContextItem* FindItem(uint32_t id) override;

private:
    bool host_name_known_ = false;
};

// The raising thread: its id and a symbolic backtrace.
class CThreadContext : public CContext {
public:
    CThreadContext();
    ~CThreadContext() override;
    const std::vector<CDataItem>& frames() const { return frames_; }

private:
    std::vector<CDataItem> frames_;
};

class CAppContext : public CContext {
public:
    CAppContext();
    ~CAppContext() override;
};

CAppContext* GetAppContext();
