// Sockets of the host build (POSIX): the SMTP client and the MX lookup over real connections.
#pragma once

#include <memory>

#include "crash/sending/send_platform.h"

namespace quillan::crash {

std::unique_ptr<ITcpSocket> NewPosixTcpSocket();
std::unique_ptr<IUdpSocket> NewPosixUdpSocket();

}  // namespace quillan::crash
