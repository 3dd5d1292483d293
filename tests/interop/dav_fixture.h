// The server of the push tests: Radicale with the one user the tests sign in as, started when
// made and stopped after the test.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "radicale_server.h"

namespace interoptest {

class Radicale : public testsupport::RadicaleServer {
public:
    static constexpr char kUser[] = "anna";
    static constexpr char kPassword[] = "s3cret pass";

    // `certificate` and `key` (PEM files) make it serve HTTPS.
    explicit Radicale(const std::filesystem::path& dir, std::string certificate = {},
                      std::string key = {})
        : RadicaleServer(dir, kUser, kPassword, std::move(certificate), std::move(key)) {
        start();
    }
    bool start() {
        if (RadicaleServer::start()) return true;
        ADD_FAILURE() << "Radicale did not start; see " << log().string();
        return false;
    }
};

}  // namespace interoptest
