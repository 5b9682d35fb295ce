#include "app/SettingKeys.h"

#include "core/Format.h"
#include "map/KVAtlas.h"

#include <string_view>

namespace engine {
namespace {

// Sections first, in the order of the file; the keys of the root last.
constexpr std::string_view kKeys[] = {
    "Car/crit_dist", "Car/gps_latency", "Car/max_dist", "Car/max_polylines_conn_err", "Car/min_speed",
    "Car/old_polyline_arrt", "Car/rotate_speed", "Car/use_stick",
    "Car/Model/chaccel_to_vel", "Car/Model/max_deviation", "Car/Model/scale_k", "Car/Model/uere",
    "Car/Model/uere_vel",
    "Keyboard/edit_layout", "Keyboard/find_layout", "Keyboard/used_languages",
    "Maneuvers/rotates_same_type_stick_dist",
    "Navigation/after_rot_pass_warn_delay", "Navigation/after_rot_pass_warn_min_dist",
    "Navigation/after_rot_pass_warn_stick_dist", "Navigation/def_warn0", "Navigation/def_warn1",
    "Navigation/max_dist_from_path_0", "Navigation/max_dist_from_path_1", "Navigation/min_prob_on_path_1",
    "Navigation/path_point_arrive_dist", "Navigation/pp_safe_zone", "Navigation/rotates_stick_dist",
    "Navigation/rutonda_leave_warn0", "Navigation/rutonda_warn0", "Navigation/rutonda_warn1",
    "Navigation/say_dist_before_notif",
    "ObjWarn/incoming_distance", "ObjWarn/outgoing_distance", "ObjWarn/say_dist_before_notif",
    "Routing/avoid_toll", "Routing/avoid_unpaved", "Routing/best_roads", "Routing/best_roads_max",
    "Routing/routing_mode", "Routing/routing_speed", "Routing/routing_speed_max",
    "Routing/use_first_uturn_in_rebuild",
    "Sound/menu", "Sound/navi",
    "atlas", "auto_dn", "camera_fovy", "demo_speed", "device", "draw_map_info", "dwp_nodes_cache",
    "dwp_points_cache", "dwp_sector_half", "dwp_warn_time", "enable_from_button", "extra_db_name",
    "first_view_metres", "fixed_gps_port", "gps_enable", "gps_port", "gps_speed", "log_severity",
    "map_sensors_names",
    "map_sensors_visible", "map_start", "max_search_results", "menu_autohide", "monitoring_enabled", "navi_on",
    "night_mode", "nmea_log_period", "obj_warn_distance", "obj_warn_distance_out", "online_auto_connect",
    "online_auto_disable", "online_deleted_waypoints", "online_password", "online_recent_group_size",
    "online_refresh_period", "online_url", "online_user", "poi_find_distance", "pois_settings_mode",
    "polylines_settings_mode", "position_format", "proportion", "redraw_path_wait_state", "sensors_names",
    "show_pl_line", "show_pl_text", "show_pt", "straight_orientation", "tracker_color", "tracker_interval",
    "tracker_mindist", "tracker_size", "tracker_state", "use_tibo_buttons", "use_valid_letters", "warn_pt",
    "win_main_heap", "win_route_heap", "wp_find_distance",
};

} // namespace

std::set<std::string, std::less<>> settingKeys() {
    std::set<std::string, std::less<>> keys(std::begin(kKeys), std::end(kKeys));
    for (int level = Map::KVAtlas::FirstScaledLevel; level <= Map::KVAtlas::LastScaledLevel; ++level)
        keys.insert(Core::format("level_%d_scale", level));
    return keys;
}

} // namespace engine
