#pragma once
// The whole command catalogue, and the lists of its messages by direction
// (used to walk every builder or decoder at once).

#include <tuple>

#include "net/catalogue_chat.h"
#include "net/catalogue_media.h"
#include "net/catalogue_mic.h"
#include "net/catalogue_moderation.h"
#include "net/catalogue_room.h"

namespace msg {

// Client -> server.
using requests = std::tuple<
    Control_Login_Req, Control_Logout_Req, Control_Open_Mic_Req, Control_Close_Mic_Req,
    Control_Send_Chat_Req, Control_Set_Power_Req, Control_Gag_Req, Control_Cancel_Gag_Req,
    Control_Set_Room_Mode_Req, Control_Set_User_Mic_Req, Control_Set_Room_Info_Req,
    Control_Get_Room_Info_Req, Control_Rob_Wheat_Req, Control_Put_Wheat_Req,
    Control_Control_Wheat_Req, Control_Disable_Wheat_Req, Control_Add_WheatTm_Req,
    Control_Remove_Wheat_Req, Control_RemoveAll_Wheat_Req, Control_Top_Wheat_Req,
    Control_Kick_Req, Video_Login_Req, Video_Logout_Req, Video_Data, Mix_Login_Req,
    Mix_Logout_Req, Mix_Open_Mic_Req, Mix_Audio_Data>;

// Server -> client.
using responses = std::tuple<
    Control_Login_Resp, Control_Silent_Resp, Control_Logout_Resp, Control_Open_Mic_Resp,
    Control_Close_Mic_Resp, Control_Get_UserCount_Resp, Control_Set_Power_Resp,
    Control_Gag_Resp, Control_Cancel_Gag_Resp, Control_Set_Room_Mode_Resp,
    Control_Set_User_Mic_Resp, Control_Set_Room_Info_Resp, Control_Get_Room_Info_Resp,
    Control_Rob_Wheat_Resp, Control_Put_Wheat_Resp, Control_Control_Wheat_Resp,
    Control_Disable_Wheat_Resp, Control_Add_WheatTm_Resp, Control_Remove_Wheat_Resp,
    Control_RemoveAll_Wheat_Resp, Control_Power_Notify, Control_Gag_Notify,
    Control_Cancel_Gag_Notify, Control_Push_Data_Notify, Control_Room_Mode_Notify,
    Control_Wheat_List_Notify, Control_User_Login_Notify, Control_User_Logout_Notify,
    Control_Login_Other_Notify, Control_Room_UserList_Notify, Control_Chat_Notify,
    Control_Anchor_Notify, Control_Kick_Notify, Control_Kick_Resp, Video_Login_Resp,
    Video_Silent_Resp, Video_Logout_Resp, Video_Room_Mode_Notify, Video_Data_Notify,
    Mix_Login_Resp, Mix_Logout_Resp, Mix_Open_Mic_Resp, Audio_Aac_Notify, Audio_Amr_Notify,
    Mix_Aac_Notify, Mix_Amr_Notify>;

}  // namespace msg
