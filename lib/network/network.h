// The network services that the message pump and the window procedure call:
// socket notifications, HTTP transfer stepping and shutdown.
#pragma once
#include <cstdint>

// The network layer's socket notification message.
constexpr uint32_t NETWORK_SOCKET_MESSAGE = 0x505;
constexpr int HTTP_TRANSFER_SLOTS = 100;
int PumpNetWorkMessages(int closeFinished);
int StepHttpTransfer(int slot);
int StepAllHttpTransfers();
int DeleteAllHttpTransfers();
int EndNetWorkSystem();
intptr_t OnSocketMessage(uintptr_t socket, intptr_t eventAndError);
int ClearHttpTransferTable();
int GetHttpTransferCount();
int IsHttpTransferSlotLive(int slot);
