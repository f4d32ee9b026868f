#pragma once
// Changes part of an in-process host's configuration, keeping the rest.
#include "minihost/MiniHost.h"

namespace tessaline::test {

template <typename Change>
void Reconfigure(MiniHost& host, Change&& change) {
  HostConfig config = host.Config();
  change(config);
  host.Configure(config);
}

}  // namespace tessaline::test
