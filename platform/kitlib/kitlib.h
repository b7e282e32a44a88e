#pragma once
// The HTTP helper library: posts, downloads and uploads run on the library's
// worker threads and never block the caller; each answer comes back to a
// window as a message whose payload is a KitlibAnswer (wParam = the answer
// length). A message without payload means the request failed.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "core/message.h"

struct KitlibAnswer {
    std::uint32_t reserved = 0;
    std::uint32_t length = 0;  // bytes of the answer (for downloads: of the file)
    std::vector<unsigned char> bytes;
    int status = 0;            // HTTP status
    std::string file;          // downloads: where the file now is
};

// Starts the workers for the signed-in user; Release stops them (waiting
// for the requests in flight, which are cut short by their timeouts).
void KITLIB_Init(std::uint32_t userId);
void KITLIB_Release();

// The service hosts: kind 0 the room-picture host, kind 1 the check-in host.
void KITLIB_SetHosts(const std::string& pictureHost, const std::string& checkInHost);
std::string KITLIB_GetIppaddr(int kind);
// The signed-in user's id and token: posts to the picture host (kind 0)
// and to the check-in port of the service hosts (core/service_hosts.h)
// carry them, posts anywhere else never; empty token forgets them.
// Redirects are never followed: a 3xx answer is a failure.
void KITLIB_SetCredentials(std::uint32_t userId, const std::string& token);

// 0 when the request could not be started (bad URL, library not started).
int KITLIB_PostHttpUrl(HWND window, unsigned message, const std::string& url, const void* body,
                       std::size_t length);
// GET; the answer's bytes come back in the payload, and `tag` as lParam
// (a window with several questions out tells the latest answer by it).
int KITLIB_GetHttpUrl(HWND window, unsigned message, const std::string& url,
                      std::intptr_t tag = 0);
// Downloads to `destination` (replaced atomically; folders are created).
int KITLIB_DownHttpUrl(HWND window, unsigned message, const std::string& url,
                       const std::string& destination);
// Posts the file's bytes as the body. A refusal still comes as an answer,
// with its status (outside 2xx) and the service's body, so the caller can
// say why; no payload only when no answer came.
int KITLIB_UploadHttpUrl(HWND window, unsigned message, const std::string& url,
                         const std::string& file);

// Message boxes: the program installs how they are shown (a dialog, or
// standard error without windows). Returns the handler's answer.
enum { KITLIB_MB_OK = 0, KITLIB_MB_ERROR = 1 };
using KitlibBoxHandler = std::function<int(const std::string& text, const std::string& caption,
                                           int type)>;
void KITLIB_SetMessageBoxHandler(KitlibBoxHandler handler);
int KITLIB_ShowMessageBox(const std::string& text, const std::string& caption, int type);

// Largest answer or download accepted; anything bigger fails the request.
constexpr std::size_t kKitlibMaxAnswer = 32u << 20;
