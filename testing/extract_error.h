#pragma once
// One assertion for the engine's errors: what failed, on which path, with which code.
#include "errors.h"

#include <gtest/gtest.h>

#include <exception>
#include <string>
#include <system_error>

namespace carrowin::testing {

inline ::testing::AssertionResult isExtractError(std::exception_ptr thrown, extract::ErrorKind kind,
                                                 const std::string& path, std::error_code code)
{
    if (!thrown)
        return ::testing::AssertionFailure() << "nothing was thrown";
    try {
        std::rethrow_exception(thrown);
    } catch (const extract::ExtractError& e) {
        if (e.kind() != kind)
            return ::testing::AssertionFailure() << "another kind of failure: " << e.what();
        if (e.path() != path)
            return ::testing::AssertionFailure() << "the path is \"" << e.path() << "\", not \"" << path
                                                 << "\": " << e.what();
        if (e.code() != code)
            return ::testing::AssertionFailure() << "the code is " << e.code() << " (" << e.code().message()
                                                 << "), not " << code << ": " << e.what();
        if (std::string(e.what()).find(path) == std::string::npos)
            return ::testing::AssertionFailure() << "the words do not name the path: " << e.what();
        return ::testing::AssertionSuccess();
    } catch (const std::exception& e) {
        return ::testing::AssertionFailure() << "another exception: " << e.what();
    }
}

} // namespace carrowin::testing

// Expects `statement` to throw ExtractError of `kind` for `path` with the system's `code`
// (an empty code when the engine itself refused), and its words to name the path.
#define EXPECT_EXTRACT_ERROR(statement, kind, path, code)                                                    \
    EXPECT_TRUE(::carrowin::testing::isExtractError(                                                         \
        [&]() -> std::exception_ptr {                                                                        \
            try {                                                                                            \
                statement;                                                                                   \
            } catch (...) {                                                                                  \
                return std::current_exception();                                                             \
            }                                                                                                \
            return nullptr;                                                                                  \
        }(),                                                                                                 \
        kind, path, code))
