// kvmsg_format: a message's text: its catalogue pattern formatted with ICU's
// MessageFormat over the message arguments, then converted to the platform
// code page.
//
// Invariants: a text is formatted only when an action asks for it; a
// pattern ICU rejects gives an empty text, never an error of its own.
#include <unicode/fmtable.h>
#include <unicode/msgfmt.h>
#include <unicode/ucnv.h>

#include <cstdio>

#include "kvlog/kvmsg.h"

std::unique_ptr<char[]> ToPlatformText(const icu::UnicodeString& text) {
    UErrorCode status = U_ZERO_ERROR;
    UConverter* converter = ucnv_open(nullptr, &status);
    if (U_FAILURE(status)) return nullptr;
    int32_t capacity = text.length() * ucnv_getMaxCharSize(converter) + 1;
    std::unique_ptr<char[]> out(new (std::nothrow) char[static_cast<size_t>(capacity)]);
    if (!out) {
        ucnv_close(converter);
        return nullptr;
    }
    ucnv_fromUChars(converter, out.get(), capacity, text.getBuffer(), text.length(), &status);
    ucnv_close(converter);
    if (U_FAILURE(status)) return nullptr;
    return out;
}

CMessage::CMessage(CMessageFactory* factory, const CMessageDefinition* definition,
                   CSourceContext* source, const icu::Locale& locale)
    : factory_(factory), definition_(definition),
      context_(std::make_unique<CMessageContext>(source)), locale_(locale) {}

CMessage::~CMessage() = default;

namespace {

// Fixed-width upper-case hexadecimal of a value whose descriptor asks for a
// display width.
icu::UnicodeString hex_text(const CDataItem& item, uint32_t width) {
    char digits[32];
    switch (width) {
    case 1: std::snprintf(digits, sizeof digits, "%02X", item.ToUInt32() & 0xFFu); break;
    case 2: std::snprintf(digits, sizeof digits, "%04X", item.ToUInt32() & 0xFFFFu); break;
    case 3: std::snprintf(digits, sizeof digits, "%08X", item.ToUInt32()); break;
    case 4:
        std::snprintf(digits, sizeof digits, "%016llX",
                      static_cast<unsigned long long>(item.ToUInt64()));
        break;
    case 5:
        std::snprintf(digits, sizeof digits, "%08X",
                      static_cast<unsigned>(item.bits() & 0xFFFFFFFFu));
        break;
    default: return icu::UnicodeString("<Unknown>");
    }
    return icu::UnicodeString(digits);
}

icu::Formattable formattable_of(const CDataItem& item, uint32_t width) {
    icu::Formattable f;
    if (width != 0) {
        f.setString(hex_text(item, width));
        return f;
    }
    switch (item.type()) {
    case CDataItem::kText: f.setString(icu::UnicodeString(item.text())); break;
    case CDataItem::kInt32: f.setLong(item.int32()); break;
    case CDataItem::kUInt32: f.setInt64(static_cast<uint32_t>(item.bits())); break;
    case CDataItem::kInt64:
    case CDataItem::kUInt64: f.setInt64(item.int64()); break;
    case CDataItem::kBoolean: f.setLong((item.bits() & 0xFF) ? 1 : 0); break;
    case CDataItem::kTimestamp:
        f.setDate(static_cast<UDate>(static_cast<double>(item.seconds()) * 1000.0 +
                                     item.nanoseconds() / 1000000));
        break;
    case CDataItem::kPointer: f.setLong(static_cast<int32_t>(item.bits() & 0xFFFFFFFFu)); break;
    default: f.setString(icu::UnicodeString("<Unknown>")); break;
    }
    return f;
}

}  // namespace

const char* CMessage::Text() {
    const std::vector<CDataItem>& args = context_->arguments();
    std::vector<icu::Formattable> values;
    values.reserve(args.size());
    for (size_t i = 0; i < args.size(); ++i) {
        uint32_t width = i < definition_->details.size() ? definition_->details[i].width : 0;
        values.push_back(formattable_of(args[i], width));
    }
    UErrorCode status = U_ZERO_ERROR;
    icu::UnicodeString result;
    icu::MessageFormat::format(definition_->pattern, values.data(),
                               static_cast<int32_t>(values.size()), result, status);
    if (U_FAILURE(status)) result.remove();
    text_ = ToPlatformText(result);
    return text_.get();
}
