#include "errors.h"

#include <new>

namespace carrowin::extract {

ExtractError ExtractError::fromCode(ErrorKind kind, const std::string& action, const std::string& path,
                                    std::error_code code)
{
    return ExtractError(kind, path, action + " \"" + path + "\": " + code.message(), code);
}

std::string describeFailure(std::exception_ptr failure)
{
    try {
        std::rethrow_exception(failure);
    } catch (const ExtractError& e) {
        return e.what();
    } catch (const std::bad_alloc&) {
        return "There is not enough memory to go on. The files written so far are kept.";
    } catch (const std::exception& e) {
        return std::string("The extraction stopped on an unexpected error: ") + e.what()
               + ". The files written so far are kept.";
    } catch (...) {
        return "The extraction stopped on an unexpected error. The files written so far are kept.";
    }
}

} // namespace carrowin::extract
