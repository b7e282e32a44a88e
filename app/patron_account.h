#pragma once
// What the room session needs of the signed-in account, over the account
// library; the power list goes to the room service through the HTTP helper.

#include "core/message.h"
#include "platform/patron/patron.h"
#include "room/room_account.h"

class CPatronAccount : public IRoomAccount {
public:
    explicit CPatronAccount(PATRON_HANDLE h) : h_(h) {}
    ~CPatronAccount() override;
    // The window that gets the power-list answer (message 1125).
    void SetWindow(HWND w) { window_ = w; }
    PATRON_HANDLE handle() const { return h_; }

    MyAccount Me() override;
    void LoginRoomNotify(std::uint32_t roomId) override;
    void RequestAccountState() override;
    void RequestBalance() override;
    void RequestBillboards() override;
    void RequestFlowerCount(std::uint32_t anchorId) override;
    void RequestPowerList() override;
    void RequestPack() override;
    bool GiveProp(const PropUse& use) override;
    bool GiveGift(const PurchaseOrder& order) override;
    bool ActivateCar(std::uint32_t carId) override;
    void Recharge() override;
    bool GiveFlower(std::uint32_t anchorId, std::uint32_t roomId, const std::string& json) override;
    void RequestCars() override;
    void RequestVips() override;
    void ShowUserInfo(std::uint32_t userId) override;
    // Ends the account session once; later requests do nothing.
    void Close() override;

private:
    std::uint32_t MyId();

    PATRON_HANDLE h_;
    HWND window_ = 0;
};
