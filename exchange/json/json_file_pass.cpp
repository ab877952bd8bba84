#include "exchange/json/json_file_pass.h"


namespace zt {

bool JsonPassEnded(const JsonFileStream& stream, const rapidjson::ParseResult& result,
                   char (&fault)[kJsonFaultSize]) {
    fault[0] = '\0';
    if (stream.readFailed()) {
        std::snprintf(fault, sizeof fault, "the file could not be read");
    } else if (stream.textTooLong()) {
        std::snprintf(fault, sizeof fault, "it holds a text longer than %u bytes", unsigned(kLongestJsonText));
    } else if (!result.IsError()) {
        return true;
    } else if (result.Code() != rapidjson::kParseErrorTermination) {
        unsigned line = 0, column = 0;
        stream.Where(result.Offset(), line, column);
        std::snprintf(fault, sizeof fault, "not valid JSON (line %u, column %u)", line, column);
    }
    return false;
}

}  // namespace zt
