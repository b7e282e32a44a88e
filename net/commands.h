#pragma once
// Command ids of the room service. A response carries its request's id + 1;
// the highest byte names the service (0x02 room control, 0x04 room
// notifications, 0x08 kick, 0x03 video transfer, 0x05 media server; audio
// and video data notifications arrive as 0x031xxxxx and 0x061xxxxx).

#include <cstdint>

namespace cmd {

// Room control, chat channel.
inline constexpr std::uint32_t Control_Login_Req = 0x2000000;
inline constexpr std::uint32_t Control_Login_Resp = 0x2000001;
inline constexpr std::uint32_t Control_Silent_Resp = 0x2000003;  // accepted and ignored
inline constexpr std::uint32_t Control_Logout_Req = 0x2000004;
inline constexpr std::uint32_t Control_Logout_Resp = 0x2000005;
inline constexpr std::uint32_t Control_Open_Mic_Req = 0x2000006;
inline constexpr std::uint32_t Control_Open_Mic_Resp = 0x2000007;
inline constexpr std::uint32_t Control_Close_Mic_Req = 0x2000008;
inline constexpr std::uint32_t Control_Close_Mic_Resp = 0x2000009;
inline constexpr std::uint32_t Control_Send_Chat_Req = 0x2000012;
inline constexpr std::uint32_t Control_Get_UserCount_Resp = 0x2000021;
inline constexpr std::uint32_t Control_Set_Power_Req = 0x2000070;
inline constexpr std::uint32_t Control_Set_Power_Resp = 0x2000071;
inline constexpr std::uint32_t Control_Gag_Req = 0x2000080;
inline constexpr std::uint32_t Control_Gag_Resp = 0x2000081;
inline constexpr std::uint32_t Control_Cancel_Gag_Req = 0x2000082;
inline constexpr std::uint32_t Control_Cancel_Gag_Resp = 0x2000083;
inline constexpr std::uint32_t Control_Set_Room_Mode_Req = 0x2001010;
inline constexpr std::uint32_t Control_Set_Room_Mode_Resp = 0x2001011;
inline constexpr std::uint32_t Control_Set_User_Mic_Req = 0x2001012;
inline constexpr std::uint32_t Control_Set_User_Mic_Resp = 0x2001013;
inline constexpr std::uint32_t Control_Set_Room_Info_Req = 0x2002002;
inline constexpr std::uint32_t Control_Set_Room_Info_Resp = 0x2002003;
inline constexpr std::uint32_t Control_Get_Room_Info_Req = 0x2002004;
inline constexpr std::uint32_t Control_Get_Room_Info_Resp = 0x2002005;
inline constexpr std::uint32_t Control_Rob_Wheat_Req = 0x2003001;
inline constexpr std::uint32_t Control_Rob_Wheat_Resp = 0x2003002;
inline constexpr std::uint32_t Control_Put_Wheat_Req = 0x2003003;
inline constexpr std::uint32_t Control_Put_Wheat_Resp = 0x2003004;
inline constexpr std::uint32_t Control_Control_Wheat_Req = 0x2003005;
inline constexpr std::uint32_t Control_Control_Wheat_Resp = 0x2003006;
inline constexpr std::uint32_t Control_Disable_Wheat_Req = 0x2003007;
inline constexpr std::uint32_t Control_Disable_Wheat_Resp = 0x2003008;
inline constexpr std::uint32_t Control_Add_WheatTm_Req = 0x2003010;
inline constexpr std::uint32_t Control_Add_WheatTm_Resp = 0x2003011;
inline constexpr std::uint32_t Control_Remove_Wheat_Req = 0x2003012;
inline constexpr std::uint32_t Control_Remove_Wheat_Resp = 0x2003013;
inline constexpr std::uint32_t Control_RemoveAll_Wheat_Req = 0x2003014;
inline constexpr std::uint32_t Control_RemoveAll_Wheat_Resp = 0x2003015;
inline constexpr std::uint32_t Control_Top_Wheat_Req = 0x2003016;
// Answers only a refused top request; the client shows its text.
inline constexpr std::uint32_t Control_Top_Wheat_Resp = 0x2003017;

// Room notifications, chat channel.
inline constexpr std::uint32_t Control_Power_Notify = 0x4000070;
inline constexpr std::uint32_t Control_Gag_Notify = 0x4000080;
inline constexpr std::uint32_t Control_Cancel_Gag_Notify = 0x4000082;
inline constexpr std::uint32_t Control_Push_Data_Notify = 0x4000100;
inline constexpr std::uint32_t Control_Room_Mode_Notify = 0x4001010;
inline constexpr std::uint32_t Control_Wheat_List_Notify = 0x4003000;
inline constexpr std::uint32_t Control_User_Login_Notify = 0x4100000;
inline constexpr std::uint32_t Control_User_Logout_Notify = 0x4100001;
inline constexpr std::uint32_t Control_Login_Other_Notify = 0x4100002;
inline constexpr std::uint32_t Control_Room_UserList_Notify = 0x4100003;
inline constexpr std::uint32_t Control_Chat_Notify = 0x4100101;
inline constexpr std::uint32_t Control_Anchor_Notify = 0x4100200;
inline constexpr std::uint32_t Control_Kick_Notify = 0x4200001;

// Kick, chat channel.
inline constexpr std::uint32_t Control_Kick_Req = 0x8000002;
inline constexpr std::uint32_t Control_Kick_Resp = 0x8000003;

// Video-transfer service.
inline constexpr std::uint32_t Video_Login_Req = 0x3000000;
inline constexpr std::uint32_t Video_Login_Resp = 0x3000001;
inline constexpr std::uint32_t Video_Silent_Resp = 0x3000004;  // accepted and ignored
inline constexpr std::uint32_t Video_Logout_Req = 0x3000010;
inline constexpr std::uint32_t Video_Logout_Resp = 0x3000011;
inline constexpr std::uint32_t Video_Room_Mode_Notify = 0x3000025;
inline constexpr std::uint32_t Video_Data = 0x3000030;
inline constexpr std::uint32_t Video_Data_Notify = 0x3100030;

// Media server.
inline constexpr std::uint32_t Mix_Login_Req = 0x5100000;
inline constexpr std::uint32_t Mix_Login_Resp = 0x5100001;
inline constexpr std::uint32_t Mix_Logout_Req = 0x5100002;
inline constexpr std::uint32_t Mix_Logout_Resp = 0x5100003;
inline constexpr std::uint32_t Mix_Open_Mic_Req = 0x5100004;
inline constexpr std::uint32_t Mix_Open_Mic_Resp = 0x5100005;
inline constexpr std::uint32_t Mix_Audio_Data = 0x5100012;
inline constexpr std::uint32_t Audio_Aac_Notify = 0x3100100;
inline constexpr std::uint32_t Audio_Amr_Notify = 0x3100101;
inline constexpr std::uint32_t Mix_Aac_Notify = 0x6100012;
inline constexpr std::uint32_t Mix_Amr_Notify = 0x6100013;

// Common to every response and notification.
inline constexpr unsigned char kTagServerMessage = 209;  // empty = success
inline constexpr unsigned char kTagErrorCode = 208;

// The catalogue name of an id, or null for an id outside the catalogue.
const char* command_name(std::uint32_t id);

}  // namespace cmd
