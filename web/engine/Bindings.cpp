// The one entry of the page's engine: a request as JSON text in, the answer as JSON text
// out. The worker calls it between its messages; the answer lives until the next call.

#include "WebLaboratory.h"

#include <string>

namespace {
TWebLaboratory& Laboratory() {
  static TWebLaboratory laboratory;
  return laboratory;
}
std::string Answer;
} // namespace

extern "C" const char* zw_call(const char* Request) {
  TJson request = TJson::parse(Request, nullptr, false);
  if (request.is_discarded() || !request.is_object())
    Answer = TJson{{"error", "The page sent a request that is not a JSON object"}}.dump();
  else
    Answer = Laboratory().Call(request).dump(-1, ' ', false, TJson::error_handler_t::replace);
  return Answer.c_str();
}
