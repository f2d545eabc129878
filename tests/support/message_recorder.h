// MessageRecorder: records every message raised while it is alive and keeps
// it from being dispatched, so tests can check codes and values of messages
// whose severity would otherwise end the process.
//
// Recorders nest: the innermost one sees the messages, and destroying it
// hands the observer seam back to the recorder it replaced (or to no
// observer at all). Create and destroy recorders in stack order on one
// thread; messages raised on other threads while one is alive are recorded
// too (under a lock).
#pragma once

#include <cinttypes>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <span>
#include <string>
#include <vector>

#include "kvstd/raise.h"

class MessageRecorder {
public:
    struct Message {
        uint32_t code = 0;
        std::string module;
        std::string function;
        std::vector<std::string> args;       // each value as text
        std::vector<kvMsgArg::Kind> kinds;   // the type each value was raised with
    };

    MessageRecorder() : previous_(active()) {
        active() = this;
        kvSetMessageObserver(&MessageRecorder::observe, this);
    }
    ~MessageRecorder() {
        active() = previous_;
        if (previous_)
            kvSetMessageObserver(&MessageRecorder::observe, previous_);
        else
            kvSetMessageObserver(nullptr, nullptr);
    }
    MessageRecorder(const MessageRecorder&) = delete;
    MessageRecorder& operator=(const MessageRecorder&) = delete;

    std::vector<Message> messages() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return messages_;
    }
    bool empty() const { return size() == 0; }
    size_t size() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return messages_.size();
    }
    size_t count(uint32_t code) const {
        std::lock_guard<std::mutex> lock(mutex_);
        size_t n = 0;
        for (const Message& m : messages_) n += m.code == code;
        return n;
    }
    // Codes in the order raised, for compact expectations.
    std::vector<uint32_t> codes() const {
        std::lock_guard<std::mutex> lock(mutex_);
        std::vector<uint32_t> out;
        for (const Message& m : messages_) out.push_back(m.code);
        return out;
    }
    // The last message; a default (code 0) message when none was raised.
    Message last() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return messages_.empty() ? Message{} : messages_.back();
    }
    void clear() {
        std::lock_guard<std::mutex> lock(mutex_);
        messages_.clear();
    }

    static std::string to_text(const kvMsgArg& arg) {
        if (arg.is_text()) return arg.text() ? arg.text() : "";
        if (arg.kind() == kvMsgArg::Kind::UInt64) return std::to_string(arg.unsigned_number());
        return std::to_string(arg.number());
    }

private:
    static MessageRecorder*& active() {
        static MessageRecorder* current = nullptr;
        return current;
    }

    static bool observe(const kvSourceSite& site, uint32_t code, std::span<const kvMsgArg> args,
                        void* user) {
        Message m;
        m.code = code;
        m.module = site.module ? site.module : "";
        m.function = site.function ? site.function : "";
        for (const kvMsgArg& a : args) {
            m.args.push_back(to_text(a));
            m.kinds.push_back(a.kind());
        }
        auto* self = static_cast<MessageRecorder*>(user);
        std::lock_guard<std::mutex> lock(self->mutex_);
        self->messages_.push_back(std::move(m));
        return false;  // swallowed: never dispatched
    }

    MessageRecorder* previous_;
    mutable std::mutex mutex_;
    std::vector<Message> messages_;
};
