// writer: owns the template variables and writes the table-creation text
// with its references replaced. A definition's values come as ddl_values
// and become variables through kDdlVariables, the one list of their names;
// its column and key lines are produced into the output where the text
// names them, through a buffer of fixed size.
//
// Invariants: variables are never removed and keep their creation order;
// a variable has a number only when its whole text is a decimal integer
// that fits 64 bits (or it was given a number), so a name such as 2024-01
// is never reduced to 2024; a reference always writes the variable's own
// text, and the number is used only for "/" and "*" arithmetic; a
// reference to no variable is copied as written. Lines are produced once
// per definition whatever the text does with them, so their messages come
// once; a text that names them twice gets them held whole.
#include "tabform/writer.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string_view>
#include <vector>

#include "kvlog/kvraise.h"
#include "kvstd/fileutl.h"
#include "kvstd/strutl.h"
#include "tabform/params.h"
#include "tabform/templ.h"

static const kvModuleId kModule{"tabform.main", "$Id: writer.cpp 1.0 tabcopy $"};

namespace {

struct templ_var {
    std::string name;                // upper case
    std::optional<std::string> text;
    int64_t number = 0;              // 0: no number
    // Lines produced where the text names the variable, during one
    // write_templ(values); then the variable has neither text nor number.
    const ddl_lines* lines = nullptr;
    bool produced = false;
};

std::vector<templ_var>& variables() {
    static std::vector<templ_var> table;
    return table;
}

templ_var* find_var(const std::string& upper_name) {
    for (templ_var& v : variables())
        if (v.name == upper_name) return &v;
    return nullptr;
}

// The value of a text that is wholly a decimal integer: an optional "-",
// then digits only, within 64 bits. Anything else has no number.
std::optional<int64_t> whole_decimal(const std::string& text) {
    size_t at = text.empty() || text[0] != '-' ? 0 : 1;
    if (at == text.size()) return std::nullopt;
    const bool negative = at == 1;
    // Accumulated as a negative value so INT64_MIN is representable.
    int64_t value = 0;
    for (; at < text.size(); ++at) {
        const char c = text[at];
        if (c < '0' || c > '9') return std::nullopt;
        const int digit = c - '0';
        if (value < (INT64_MIN + digit) / 10) return std::nullopt;
        value = value * 10 - digit;
    }
    if (!negative) {
        if (value == INT64_MIN) return std::nullopt;
        value = -value;
    }
    return value;
}

bool is_name_char(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-';
}

bool is_blank(char c) { return c == ' ' || c == '\t'; }

size_t name_end(const std::string& text, size_t at) {
    while (at < text.size() && is_name_char(text[at])) ++at;
    return at;
}

// "/" or "*" with digits after a reference to a numbered variable. Returns
// the position after the digits and sets `result`, or npos when the
// reference takes no arithmetic.
size_t apply_arithmetic(const std::string& text, size_t at, int64_t number, int64_t& result) {
    while (at < text.size() && is_blank(text[at])) ++at;
    if (at == text.size() || (text[at] != '/' && text[at] != '*')) return std::string::npos;
    const char op = text[at++];
    while (at < text.size() && is_blank(text[at])) ++at;
    const size_t digits = at;
    // Saturates far above any 64-bit value: the operand's size is all that
    // matters beyond that point.
    constexpr unsigned __int128 kCap = static_cast<unsigned __int128>(1) << 100;
    unsigned __int128 operand = 0;
    for (; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at)
        if (operand < kCap) operand = operand * 10 + static_cast<unsigned>(text[at] - '0');
    if (at == digits) return std::string::npos;
    __int128 value;
    if (op == '/') {
        // A divisor of 0 leaves the number as it is.
        value = operand == 0 ? number : static_cast<__int128>(number) / static_cast<__int128>(operand);
    } else {
        if (operand > static_cast<unsigned __int128>(INT64_MAX) && number != 0) return std::string::npos;
        value = static_cast<__int128>(number) * static_cast<__int128>(operand);
        // A product beyond 64 bits is not written: the reference keeps its
        // operator as text rather than showing a wrapped number.
        if (value > INT64_MAX || value < INT64_MIN) return std::string::npos;
    }
    result = value == 0 ? 1 : static_cast<int64_t>(value);
    return at;
}

void produce(templ_var& var, ddl_out& out) {
    if (var.produced) return;
    var.produced = true;
    if (var.lines->write) var.lines->write(out);
}

// Appends the expansion of the reference whose "?" or "%" is at `at`;
// returns the position after it.
size_t expand_reference(const std::string& text, size_t at, ddl_out& out) {
    const size_t name_start = at + 1;
    const size_t end = name_end(text, name_start);
    templ_var* var = find_var(kvUpshifted(text.substr(name_start, end - name_start)));
    if (!var) {
        out.append(std::string_view(text).substr(at, end - at));
        return end;
    }
    if (var->lines) {
        produce(*var, out);
        return end;
    }
    if (var->number == 0) {
        if (var->text) out.append(*var->text);
        return end;
    }
    int64_t result = 0;
    const size_t after = apply_arithmetic(text, end, var->number, result);
    if (after != std::string::npos) {
        out.append(std::to_string(result));
        return after;
    }
    out.append(var->text ? *var->text : std::to_string(var->number));
    return end;
}

// How many times `text` may name the variable `name` (upper case): every
// "?" or "%" followed by the name in any case, escaped or not, in a block
// or not, so never fewer than the expansion meets.
size_t count_references(const std::string& text, std::string_view name) {
    size_t count = 0;
    for (size_t at = text.find_first_of("?%"); at != std::string::npos; at = text.find_first_of("?%", at + 1)) {
        const size_t end = name_end(text, at + 1);
        if (end - at - 1 != name.size()) continue;
        bool same = true;
        for (size_t i = 0; same && i < name.size(); ++i)
            same = std::toupper(static_cast<unsigned char>(text[at + 1 + i])) == name[i];
        count += same;
    }
    return count;
}

}  // namespace

void set_templ_var(const char* name, const char* text, int64_t number) {
    const std::string key = kvUpshifted(name ? name : "");
    templ_var* var = find_var(key);
    if (!var) {
        variables().push_back({key, std::nullopt, 0});
        var = &variables().back();
    }
    var->text.reset();
    var->number = 0;
    var->lines = nullptr;
    if (text) {
        var->text = text;
        if (std::optional<int64_t> value = whole_decimal(var->text.value())) var->number = *value;
    }
    if (number != 0) {
        var->number = number;
        var->text = std::to_string(number);
    }
}

bool get_templ_var(std::string& name, int64_t& number, std::string& text) {
    name = kvUpshifted(name);
    const templ_var* var = find_var(name);
    if (!var) return false;
    number = var->number;
    text = var->text ? *var->text : (var->number ? std::to_string(var->number) : std::string());
    return true;
}

void reset_templ_vars() { variables().clear(); }

bool ddl_out::cut_at_nul(size_t from) {
    const void* nul = std::memchr(buf_.data() + from, '\0', buf_.size() - from);
    if (!nul) return false;
    buf_.resize(static_cast<size_t>(static_cast<const char*>(nul) - buf_.data()));
    return true;
}

// After the first failure nothing more is written: the definition is lost
// either way, and it is reported once.
void ddl_out::write_held() {
    if (!failed_ && !buf_.empty()) {
        errno = 0;
        if (std::fwrite(buf_.data(), 1, buf_.size(), stream_) != buf_.size()) {
            failed_ = true;
            error_ = errno ? errno : EIO;
        }
    }
    buf_.clear();
}

bool ddl_out::finish() {
    if (how_ != mode::stream) return true;
    write_held();
    if (!kvWriteFlush(stream_, nullptr, 0) && !failed_) {
        failed_ = true;
        error_ = errno;
    }
    errno = failed_ ? error_ : 0;
    return !failed_;
}

std::string ddl_lines_text(const ddl_lines& lines) {
    ddl_out out;
    if (lines.write) lines.write(out);
    return out.text();
}

// A text goes through its C string, as a variable's text ends at a NUL.
void set_ddl_values(const ddl_values& values) {
    for (const ddl_variable& v : kDdlVariables) {
        if (v.text)
            set_templ_var(v.name, (values.*v.text).c_str(), 0);
        else if (v.lines)
            set_templ_var(v.name, ddl_lines_text(values.*v.lines).c_str(), 0);
        else
            set_templ_var(v.name, nullptr, values.*v.number);
    }
}

namespace {

// Expands the references of text[at, stop).
void expand_span(const std::string& text, size_t at, size_t stop, ddl_out& out) {
    while (at < stop) {
        const char c = text[at];
        if (c != '?' && c != '%') {
            const size_t next = text.find_first_of("?%", at);
            const size_t end = next == std::string::npos || next > stop ? stop : next;
            out.append(std::string_view(text).substr(at, end - at));
            at = end;
        } else if (at + 1 < stop && text[at + 1] == c) {
            out.append(c);
            at += 2;
        } else {
            at = std::min(expand_reference(text, at, out), stop);
        }
    }
}

// Optional blocks: a line "?{NAME" opens a block whose lines are written
// only when the variable NAME has a text that is not empty; a line "?}"
// closes it. Both lines stand alone (blanks may follow) and are never
// written. No template written before these lines existed has a line
// that is just "?{" and a name, or just "?}".
enum class block_line { none, open, close };

block_line block_line_of(std::string_view line, std::string& name) {
    while (!line.empty() && (line.back() == ' ' || line.back() == '\t' || line.back() == '\r')) line.remove_suffix(1);
    if (line == "?}") return block_line::close;
    if (line.size() < 3 || line[0] != '?' || line[1] != '{') return block_line::none;
    const std::string_view rest = line.substr(2);
    for (char c : rest)
        if (!is_name_char(c)) return block_line::none;
    name = kvUpshifted(std::string(rest));
    return block_line::open;
}

bool has_text(const std::string& name) {
    const templ_var* var = find_var(name);
    if (var && var->lines) return !var->lines->empty;
    return var && ((var->text && !var->text->empty()) || var->number != 0);
}

// Calls `each(begin, end, kind, name)` for every line of `text`.
template <typename Each>
void for_each_line(const std::string& text, Each each) {
    std::string name;
    for (size_t at = 0; at < text.size();) {
        const size_t eol = text.find('\n', at);
        const size_t end = eol == std::string::npos ? text.size() : eol + 1;
        const std::string_view line(text.data() + at, (eol == std::string::npos ? text.size() : eol) - at);
        const block_line kind = line.size() >= 2 && line[0] == '?' ? block_line_of(line, name) : block_line::none;
        each(at, end, kind, name);
        at = end;
    }
}

}  // namespace

int finish_templ() {
    const std::string& text = templ_text;
    for (size_t at = 0; at < text.size();) {
        if (text[at] != '%') {
            ++at;
            continue;
        }
        if (at + 1 < text.size() && text[at + 1] == '%') {
            at += 2;
            continue;
        }
        const size_t end = name_end(text, at + 1);
        const std::string name = kvUpshifted(text.substr(at + 1, end - at - 1));
        bool known = false;
        for (const ddl_variable& v : kDdlVariables) known = known || (v.percent && name == v.name);
        if (!known) kvRaiseMessage(KV_SITE_FN(kModule, "finish_templ"), 1251, {name});
        at = end;
    }
    int open = 0;
    std::string unpaired;
    for_each_line(text, [&](size_t at, size_t end, block_line kind, const std::string&) {
        if (kind == block_line::open) ++open;
        if (kind == block_line::close && --open < 0 && unpaired.empty()) unpaired = text.substr(at, end - at);
    });
    if (open > 0) unpaired = "?{ (" + std::to_string(open) + " not closed)";
    if (!unpaired.empty()) {
        if (unpaired.back() == '\n') unpaired.pop_back();
        kvRaiseMessage(KV_SITE_FN(kModule, "finish_templ"), 1257, {unpaired});
    }
    return 1;
}

namespace {

void expand_templ(const std::string& text, ddl_out& out) {
    // Blocks being dropped, counted so that a block inside one is dropped
    // with it.
    int dropping = 0;
    for_each_line(text, [&](size_t at, size_t end, block_line kind, const std::string& name) {
        if (kind == block_line::open) {
            if (dropping || !has_text(name)) ++dropping;
        } else if (kind == block_line::close) {
            if (dropping) --dropping;
        } else if (!dropping) {
            expand_span(text, at, end, out);
            out.line_done();
        }
    });
}

// Lines named once are bound to their variable and produced into the
// output; named more often, they become the variable's text, held whole.
std::vector<templ_var*> bind_lines(const ddl_values& values) {
    std::vector<const ddl_variable*> streamed;
    for (const ddl_variable& v : kDdlVariables) {
        if (v.text) {
            set_templ_var(v.name, (values.*v.text).c_str(), 0);
        } else if (v.number) {
            set_templ_var(v.name, nullptr, values.*v.number);
        } else if (count_references(templ_text, v.name) > 1) {
            set_templ_var(v.name, ddl_lines_text(values.*v.lines).c_str(), 0);
        } else {
            set_templ_var(v.name, nullptr, 0);
            streamed.push_back(&v);
        }
    }
    // Bound only now: creating a variable moves the others.
    std::vector<templ_var*> bound;
    for (const ddl_variable* v : streamed) {
        templ_var* var = find_var(v->name);
        var->lines = &(values.*(v->lines));
        var->produced = false;
        bound.push_back(var);
    }
    return bound;
}

}  // namespace

std::string expand_templ_text(const std::string& text) {
    ddl_out out;
    expand_templ(text, out);
    return out.text();
}

void write_templ() {
    // A DDLFILE whose open failed leaves no stream; that failure has been
    // reported, and there is nowhere to write, but lines are still made.
    FILE* stream = ddl_file.stream;
    ddl_out out(stream ? ddl_out::mode::stream : ddl_out::mode::discard, stream);
    expand_templ(templ_text, out);
    if (stream && !out.finish()) kvWriteFailed(ddl_file.name.c_str(), errno);
}

void write_templ(const ddl_values& values) {
    const std::vector<templ_var*> bound = bind_lines(values);
    write_templ();
    // Lines the text did not reach (no reference, or one in a dropped
    // block) are made all the same: their messages and the layout need them.
    for (templ_var* var : bound) {
        ddl_out nowhere(ddl_out::mode::discard);
        produce(*var, nowhere);
        var->lines = nullptr;
    }
}
