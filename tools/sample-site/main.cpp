// sample-site [--port N] [--close]: serves the local copy of the novel site on
// 127.0.0.1 until it is interrupted. Port 0 or none picks a free port; the
// first line on stdout says which: "listening on 127.0.0.1:PORT".
#include <cstdio>
#include <cstdlib>
#include <string>

#include "tools/sample-site/sample_site.h"

namespace {

int Usage() {
    std::fprintf(stderr, "usage: sample-site [--port N] [--close]\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    sample_site::SiteOptions options;
    options.RecordRequests = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--port" && i + 1 < argc) {
            char* end = nullptr;
            const long port = std::strtol(argv[++i], &end, 10);
            if (*end != '\0' || port < 0 || port > 65535) {
                return Usage();
            }
            options.Port = static_cast<int>(port);
        } else if (arg == "--close") {
            options.CloseAfterEachResponse = true;
        } else {
            return Usage();
        }
    }

    sample_site::SampleSite site(options);
    return sample_site::ServeUntilSignalled(site, "sample-site", options.Port);
}
