#pragma once
// The host test window's list line for one completed echo exchange. No Windows header: the
// wording is a rule of its own, built and tested natively.

#include <string>

#include "hosttest/ReplyStatus.h"

namespace vantrel {

std::wstring ReplyLine(const TReplyStatus& status);

}  // namespace vantrel
