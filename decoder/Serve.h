#pragma once

#include "decoder/DecodeRequest.h"

#include <functional>

namespace lmvo::decoder {

// How a process answers one request (answerRequest; tests put in misbehaving ones).
using Answerer = std::function<Answer(const Request& request, int file)>;

// The decoder process's loop: one request at a time from `socket`, each answered before the
// next is read, until the program closes its end. A message that is not a request with one
// descriptor is answered as a failure. Returns the process's exit status.
int serveRequests(int socket, const Answerer& answer);

} // namespace lmvo::decoder
