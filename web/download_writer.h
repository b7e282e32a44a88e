#pragma once
// Saving a downloaded body. The bytes go to a temporary file beside the
// target in pieces of at most kWritePiece bytes and the temporary takes the
// target's name only when every byte is written and flushed: a failed or
// cut download leaves the old file (or none), never a short one.

#include <cstddef>
#include <string>

#include "web/http_request.h"

namespace web {

constexpr std::size_t kWritePiece = 4096;

// Consumes the `length` queued body bytes into `target`. False, with the
// target untouched and no temporary left, when fewer or more than `length`
// bytes are queued or the file cannot be created, written or renamed.
bool SaveBody(ByteQueue& body, std::size_t length, const std::string& target);

}  // namespace web
