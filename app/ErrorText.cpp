#include "app/Exceptions.h"

namespace vantrel {

std::wstring ErrorReportText(const std::wstring& message)
{
    // A message that ends in a letter or a digit gets a full stop; one that already ends in
    // punctuation such as "." or "!" keeps its own.
    if (!message.empty() && message.back() > L'.') return message + L'.';
    return message;
}

}  // namespace vantrel
