-- Wireshark dissector for the Helmcast / Helmecho shared-simulation protocol
-- (docs/protocol.md): every message type and every field of its record.
--
-- Use: copy this file into Wireshark's personal Lua plugins folder, or run
--   tshark -X lua_script:tools/wireshark/helmcast.lua -r capture.pcap
-- The master's UDP port is 40000 unless changed under
-- Preferences > Protocols > HELMCAST (or -o helmcast.port:N).

local helm = Proto("helmcast", "Helmcast shared simulation")

local NAME_SIZE = 32
local MAX_TEXT = 65536
local VESSEL_STATE_FIXED = 56

local TYPE_NAMES = {
    [-6] = "Ack", [-5] = "Hello", [-1] = "End", [0] = "Start", [1] = "Vessel", [2] = "Vessel2",
    [3] = "Airfoil", [4] = "XR", [5] = "Focus", [6] = "VesselState", [7] = "Keyboard",
    [8] = "VesselExtra", [9] = "Animation",
}
-- The size rule: every type has one size, but the scenario text's.
local SIZES = {
    [-6] = 8, [-5] = 8, [-1] = 8, [0] = 32, [1] = 640, [2] = 2304, [3] = 88, [4] = 672,
    [5] = 40, [7] = 204, [8] = 84, [9] = 176,
}

-- ---- Fields ----
local f = helm.fields
local function double(abbr, label) f[abbr] = ProtoField.double("helmcast." .. abbr, label) end
local function int32(abbr, label, strings) f[abbr] = ProtoField.int32("helmcast." .. abbr, label, base.DEC, strings) end
local function uint32(abbr, label, display) f[abbr] = ProtoField.uint32("helmcast." .. abbr, label, display or base.DEC) end
local function text(abbr, label) f[abbr] = ProtoField.string("helmcast." .. abbr, label) end

int32("type", "Type", TYPE_NAMES)
int32("seq", "Sequence number")
double("mjd", "MJD")
double("time_accel", "Time acceleration")
double("sim_step", "Step length (s)")
text("vessel_name", "Vessel name")
text("class_name", "Class name")
text("rbody_name", "Reference body name")
text("base_name", "Base name")

-- Vectors: a subtree with x, y, z per vector field.
local VECTORS = { "rpos", "rvel", "vrot", "arot", "vdata" }
for _, v in ipairs(VECTORS) do
    for _, axis in ipairs({ "x", "y", "z" }) do double(v .. "." .. axis, axis) end
end

-- Status record, version 1
double("fuel", "Fuel level")
double("eng_main", "Main engine level")
double("eng_hovr", "Hover engine level")
uint32("rbody", "Reference body handle", base.HEX)
uint32("base", "Base handle", base.HEX)
int32("port", "Landing pad")
int32("status", "Status", { [0] = "free flight", [1] = "landed" })
double("fdata", "Scalar data")
uint32("flag", "Flag", base.HEX)

-- Status record, version 2
uint32("version", "Version")
f["flag2"] = ProtoField.uint32("helmcast.flag2", "List bits", base.HEX)
f["flag2.fuel"] = ProtoField.bool("helmcast.flag2.fuel", "Propellant list", 32, nil, 0x02)
f["flag2.thruster"] = ProtoField.bool("helmcast.flag2.thruster", "Thruster list", 32, nil, 0x08)
f["flag2.dock"] = ProtoField.bool("helmcast.flag2.dock", "Docking list", 32, nil, 0x10)
double("surf_lng", "Surface longitude (rad)")
double("surf_lat", "Surface latitude (rad)")
double("surf_hdg", "Surface heading (rad)")
uint32("nfuel", "Propellant entries")
uint32("nthruster", "Thruster entries")
uint32("ndockinfo", "Docking entries")
uint32("pointer", "Pointer field (no meaning on the wire)", base.HEX)
uint32("xpdr", "Transponder channel")
uint32("idx", "Index")
double("level", "Level")
uint32("dock.idx", "Own port")
uint32("dock.ridx", "Other vessel's port")
uint32("dock.rvessel", "Docked vessel handle", base.HEX)
text("dock.vessel_name", "Docked vessel name")

-- Airfoil
local SURFACES = { "elevator", "rudder", "aileron", "flap", "elevator_trim", "rudder_trim" }
for _, s in ipairs(SURFACES) do double("surface." .. s, s:gsub("_", " ")) end

-- XR
f["xr.block"] = ProtoField.bytes("helmcast.xr.block", "XR block")
f["xr.byte_state"] = ProtoField.uint8("helmcast.xr.byte_state", "XR byte state")
int32("xr.state", "XR state")
double("xr.value", "XR value")
f["xr.byte_a"] = ProtoField.uint8("helmcast.xr.byte_a", "XR byte A")
f["xr.byte_b"] = ProtoField.uint8("helmcast.xr.byte_b", "XR byte B")
f["xr.record"] = ProtoField.bytes("helmcast.xr.record", "XR record")
f["padding"] = ProtoField.bytes("helmcast.padding", "Padding")

-- Scenario text
int32("text_length", "Text length")
text("text", "Scenario text")

-- Keyboard
int32("key_count", "Key events")
int32("key.hook_code", "Hook code")
int32("key.virtual_key", "Virtual key")
uint32("key.flags", "Key flags", base.HEX)
f["key.repeat"] = ProtoField.uint32("helmcast.key.repeat", "Repeat count", base.DEC, nil, 0x0000FFFF)
f["key.scan_code"] = ProtoField.uint32("helmcast.key.scan_code", "Scan code", base.HEX, nil, 0x00FF0000)
f["key.extended"] = ProtoField.bool("helmcast.key.extended", "Extended key", 32, nil, 0x01000000)
f["key.alt"] = ProtoField.bool("helmcast.key.alt", "Alt held", 32, nil, 0x20000000)
f["key.previous"] = ProtoField.bool("helmcast.key.previous", "Was down before", 32, nil, 0x40000000)
f["key.release"] = ProtoField.bool("helmcast.key.release", "Release", 32, nil, 0x80000000)
text("key.action", "Action")

-- Vessel extra
uint32("navmode_bits", "Navigation modes", base.HEX)
local NAVMODES = { "killrot", "hlevel", "prograde", "retrograde", "normal", "antinormal", "holdalt" }
local NAVMODE_BITS = { 0x02, 0x04, 0x08, 0x10, 0x20, 0x40, 0x80 }  -- bit i for mode i
for i, name in ipairs(NAVMODES) do
    f["navmode." .. name] = ProtoField.bool("helmcast.navmode." .. name, "Mode " .. i .. " (" .. name .. ")", 32, nil,
        NAVMODE_BITS[i])
end
int32("attitude_mode", "Attitude mode", { [0] = "off", [1] = "rotation", [2] = "linear" })
uint32("ad_ctrl_mode", "Aerodynamic control bits", base.HEX)
f["ad_ctrl.elevator"] = ProtoField.bool("helmcast.ad_ctrl.elevator", "Elevator", 32, nil, 0x1)
f["ad_ctrl.rudder"] = ProtoField.bool("helmcast.ad_ctrl.rudder", "Rudder", 32, nil, 0x2)
f["ad_ctrl.ailerons"] = ProtoField.bool("helmcast.ad_ctrl.ailerons", "Ailerons", 32, nil, 0x4)
f["nav_channel"] = ProtoField.uint16("helmcast.nav_channel", "Radio channel")

-- Animation
int32("anim_count", "Animation states")
double("anim_state", "Animation state")

-- ---- Expert info ----
local ex = {
    size = ProtoExpert.new("helmcast.size_rule", "Length does not match the message type's size",
        expert.group.MALFORMED, expert.severity.ERROR),
    unknown = ProtoExpert.new("helmcast.unknown_type", "Unknown message type",
        expert.group.UNDECODED, expert.severity.WARN),
    count = ProtoExpert.new("helmcast.count_cut", "Count outside its array, a receiver cuts it",
        expert.group.PROTOCOL, expert.severity.WARN),
}
helm.experts = { ex.size, ex.unknown, ex.count }

-- ---- Readers ----

-- A name field: up to its first NUL, at most 31 characters (a receiver
-- ends every name inside its field).
local function add_name(tree, field, tvb, offset)
    local raw = tvb:raw(offset, NAME_SIZE)
    local nul = raw:find("\0", 1, true)
    local name = nul and raw:sub(1, nul - 1) or raw:sub(1, NAME_SIZE - 1)
    tree:add(f[field], tvb(offset, NAME_SIZE), name)
    return name
end

local function add_vector(tree, field, tvb, offset, label)
    local x, y, z = tvb(offset, 8):le_float(), tvb(offset + 8, 8):le_float(), tvb(offset + 16, 8):le_float()
    local sub = tree:add(tvb(offset, 24), string.format("%s: (%.6g, %.6g, %.6g)", label or field, x, y, z))
    sub:add_le(f[field .. ".x"], tvb(offset, 8))
    sub:add_le(f[field .. ".y"], tvb(offset + 8, 8))
    sub:add_le(f[field .. ".z"], tvb(offset + 16, 8))
end

-- A count as a receiver uses it: negative (or, unsigned, bit 31 set) reads
-- as 0, above the capacity as the capacity.
local function cut_count(item, value, capacity)
    if value >= 0 and value <= capacity then return value end
    local used = value < 0 and 0 or capacity
    item:add_proto_expert_info(ex.count, string.format("Count %d read as %d (capacity %d)", value, used, capacity))
    return used
end

-- Position, velocity, angular velocity, orientation: four vectors in a row
-- in both status records.
local function add_motion(tree, tvb, o)
    for i, name in ipairs({ "rpos", "rvel", "vrot", "arot" }) do add_vector(tree, name, tvb, o + 24 * (i - 1)) end
end

local function add_status1(tree, tvb, o)
    local st = tree:add(tvb(o, 496), "Status record, version 1")
    add_motion(st, tvb, o)
    st:add_le(f.fuel, tvb(o + 96, 8))
    st:add_le(f.eng_main, tvb(o + 104, 8))
    st:add_le(f.eng_hovr, tvb(o + 112, 8))
    st:add_le(f.rbody, tvb(o + 120, 4))
    st:add_le(f.base, tvb(o + 124, 4))
    st:add_le(f.port, tvb(o + 128, 4))
    st:add_le(f.status, tvb(o + 132, 4))
    for i = 0, 9 do add_vector(st, "vdata", tvb, o + 136 + 24 * i, "vdata[" .. i .. "]") end
    for i = 0, 9 do st:add_le(f.fdata, tvb(o + 376 + 8 * i, 8)) end
    for i = 0, 9 do st:add_le(f.flag, tvb(o + 456 + 4 * i, 4)) end
end

local function add_status2(tree, tvb, o)
    local st = tree:add(tvb(o, 176), "Status record, version 2")
    st:add_le(f.version, tvb(o, 4))
    local flags = st:add_le(f.flag2, tvb(o + 4, 4))
    flags:add_le(f["flag2.fuel"], tvb(o + 4, 4))
    flags:add_le(f["flag2.thruster"], tvb(o + 4, 4))
    flags:add_le(f["flag2.dock"], tvb(o + 4, 4))
    st:add_le(f.rbody, tvb(o + 8, 4))
    st:add_le(f.base, tvb(o + 12, 4))
    st:add_le(f.port, tvb(o + 16, 4))
    st:add_le(f.status, tvb(o + 20, 4))
    add_motion(st, tvb, o + 24)
    st:add_le(f.surf_lng, tvb(o + 120, 8))
    st:add_le(f.surf_lat, tvb(o + 128, 8))
    st:add_le(f.surf_hdg, tvb(o + 136, 8))
    local counts = {}
    for i, name in ipairs({ "nfuel", "nthruster", "ndockinfo" }) do
        local at = o + 144 + 8 * (i - 1)
        counts[name] = { item = st:add_le(f[name], tvb(at, 4)), value = tvb(at, 4):le_int() }
        st:add_le(f.pointer, tvb(at + 4, 4))
    end
    st:add_le(f.xpdr, tvb(o + 168, 4))
    st:add(f.padding, tvb(o + 172, 4))
    return counts
end

local function add_levels(tree, tvb, offset, capacity, count, label)
    local list = tree:add(tvb(offset, 16 * capacity), string.format("%s (%d)", label, count))
    for i = 0, count - 1 do
        local at = offset + 16 * i
        local entry = list:add(tvb(at, 16), string.format("%s %d: index %d, level %.6g", label, i,
            tvb(at, 4):le_uint(), tvb(at + 8, 8):le_float()))
        entry:add_le(f.idx, tvb(at, 4))
        entry:add_le(f.level, tvb(at + 8, 8))
    end
end

-- ---- Messages ----
local dissect = {}

dissect[0] = function(tvb, tree, info)
    tree:add_le(f.mjd, tvb(8, 8))
    tree:add_le(f.time_accel, tvb(16, 8))
    tree:add_le(f.sim_step, tvb(24, 8))
    info(string.format("MJD %.6f, time x%g", tvb(8, 8):le_float(), tvb(16, 8):le_float()))
end

dissect[1] = function(tvb, tree, info)
    tree:add_le(f.mjd, tvb(8, 8))
    local name = add_name(tree, "vessel_name", tvb, 16)
    local class = add_name(tree, "class_name", tvb, 48)
    add_status1(tree, tvb, 80)
    add_name(tree, "rbody_name", tvb, 576)
    add_name(tree, "base_name", tvb, 608)
    info(name .. " (" .. class .. ")")
end

dissect[2] = function(tvb, tree, info)
    tree:add_le(f.mjd, tvb(8, 8))
    local name = add_name(tree, "vessel_name", tvb, 16)
    local class = add_name(tree, "class_name", tvb, 48)
    local counts = add_status2(tree, tvb, 80)
    add_name(tree, "rbody_name", tvb, 256)
    add_name(tree, "base_name", tvb, 288)
    -- Unsigned counts: a value with bit 31 set reads as 0.
    local function used(c, capacity)
        return cut_count(c.item, c.value, capacity)
    end
    add_levels(tree, tvb, 320, 16, used(counts.nfuel, 16), "Propellant")
    add_levels(tree, tvb, 576, 64, used(counts.nthruster, 64), "Thruster")
    local docks = used(counts.ndockinfo, 16)
    local list = tree:add(tvb(1600, 12 * 16), string.format("Docking (%d)", docks))
    for i = 0, docks - 1 do
        local at = 1600 + 12 * i
        local entry = list:add(tvb(at, 12), string.format("Docking %d", i))
        entry:add_le(f["dock.idx"], tvb(at, 4))
        entry:add_le(f["dock.ridx"], tvb(at + 4, 4))
        entry:add_le(f["dock.rvessel"], tvb(at + 8, 4))
        if tvb(at + 8, 4):le_uint() ~= 0 then
            local other = add_name(entry, "dock.vessel_name", tvb, 1792 + NAME_SIZE * i)
            entry:append_text(": port " .. tvb(at, 4):le_uint() .. " to " .. other .. " port " .. tvb(at + 4, 4):le_uint())
        end
    end
    info(name .. " (" .. class .. ")")
end

dissect[3] = function(tvb, tree, info)
    info(add_name(tree, "vessel_name", tvb, 8))
    for i, s in ipairs(SURFACES) do tree:add_le(f["surface." .. s], tvb(40 + 8 * (i - 1), 8)) end
end

dissect[4] = function(tvb, tree, info)
    info(add_name(tree, "vessel_name", tvb, 8))
    tree:add(f["xr.block"], tvb(40, 232))
    for i = 0, 2 do tree:add(f["xr.byte_state"], tvb(272 + i, 1)) end
    tree:add(f.padding, tvb(275, 1))
    for i = 0, 14 do tree:add_le(f["xr.state"], tvb(276 + 4 * i, 4)) end
    tree:add_le(f["xr.value"], tvb(336, 8))
    tree:add(f["xr.byte_a"], tvb(344, 1))
    tree:add(f["xr.byte_b"], tvb(345, 1))
    tree:add(f.padding, tvb(346, 6))
    for i = 0, 7 do tree:add(f["xr.record"], tvb(352 + 40 * i, 40)) end
end

dissect[5] = function(tvb, tree, info)
    info("focus " .. add_name(tree, "vessel_name", tvb, 8))
end

dissect[6] = function(tvb, tree, info)
    tree:add_le(f.mjd, tvb(8, 8))
    local name = add_name(tree, "vessel_name", tvb, 16)
    tree:add_le(f.text_length, tvb(48, 4))
    tree:add(f.padding, tvb(52, 4))
    local length = tvb(48, 4):le_int()
    if length > 0 then tree:add(f.text, tvb(56, length), tvb:raw(56, length)) end
    info(string.format("%s, %d text bytes", name, length))
end

dissect[7] = function(tvb, tree, info)
    local count_item = tree:add_le(f.key_count, tvb(8, 4))
    local count = cut_count(count_item, tvb(8, 4):le_int(), 16)
    local events = {}
    for i = 0, count - 1 do
        local at = 12 + 12 * i
        local flags = tvb(at + 8, 4):le_uint()
        local action = flags >= 0x80000000 and "release" or "press"
        local vk = tvb(at + 4, 4):le_int()
        local scan = math.floor(flags / 0x10000) % 0x100
        local key = ((vk >= 0x30 and vk <= 0x39) or (vk >= 0x41 and vk <= 0x5A)) and string.char(vk)
            or string.format("scan 0x%02X", scan)
        local entry = tree:add(tvb(at, 12), string.format("Key %d: %s %s", i, key, action))
        entry:add_le(f["key.hook_code"], tvb(at, 4))
        entry:add_le(f["key.virtual_key"], tvb(at + 4, 4))
        local fl = entry:add_le(f["key.flags"], tvb(at + 8, 4))
        for _, bit in ipairs({ "repeat", "scan_code", "extended", "alt", "previous", "release" }) do
            fl:add_le(f["key." .. bit], tvb(at + 8, 4))
        end
        entry:add(f["key.action"], tvb(at + 8, 4), action):set_generated()
        events[#events + 1] = key .. " " .. action
    end
    info(count == 0 and "no keys" or table.concat(events, ", "))
end

dissect[8] = function(tvb, tree, info)
    info(add_name(tree, "vessel_name", tvb, 8))
    local modes = tree:add_le(f.navmode_bits, tvb(40, 4))
    for _, name in ipairs(NAVMODES) do modes:add_le(f["navmode." .. name], tvb(40, 4)) end
    tree:add_le(f.attitude_mode, tvb(44, 4))
    local ad = tree:add_le(f.ad_ctrl_mode, tvb(48, 4))
    for _, name in ipairs({ "elevator", "rudder", "ailerons" }) do ad:add_le(f["ad_ctrl." .. name], tvb(48, 4)) end
    for i = 0, 15 do tree:add_le(f.nav_channel, tvb(52 + 2 * i, 2)) end
end

dissect[9] = function(tvb, tree, info)
    info(add_name(tree, "vessel_name", tvb, 8))
    local count_item = tree:add_le(f.anim_count, tvb(40, 4))
    local count = cut_count(count_item, tvb(40, 4):le_int(), 16)
    tree:add(f.padding, tvb(44, 4))
    for i = 0, count - 1 do tree:add_le(f.anim_state, tvb(48 + 8 * i, 8)) end
end

-- The size the type gives, or nil for an unknown type or a bad text length.
local function expected_size(tvb, msg_type)
    if msg_type == 6 then
        if tvb:len() < 52 then return nil end
        local length = tvb(48, 4):le_int()
        if length < 0 or length > MAX_TEXT then return nil end
        return VESSEL_STATE_FIXED + length
    end
    return SIZES[msg_type]
end

function helm.dissector(tvb, pinfo, tree)
    pinfo.cols.protocol = "Helmcast"
    local length = tvb:len()
    local root = tree:add(helm, tvb())
    if length < 8 then
        root:add_proto_expert_info(ex.size, string.format("%d bytes: shorter than the 8-byte header", length))
        pinfo.cols.info = "Helmcast: too short"
        return length
    end
    local msg_type = tvb(0, 4):le_int()
    local seq = tvb(4, 4):le_int()
    local name = TYPE_NAMES[msg_type] or string.format("type %d", msg_type)
    root:append_text(", " .. name .. ", seq " .. seq)
    root:add_le(f.type, tvb(0, 4))
    root:add_le(f.seq, tvb(4, 4))
    local summary = string.format("%s seq=%d", name, seq)
    pinfo.cols.info = summary

    if not TYPE_NAMES[msg_type] then
        root:add_proto_expert_info(ex.unknown, string.format("Unknown message type %d", msg_type))
        return length
    end
    local size = expected_size(tvb, msg_type)
    if size ~= length then
        local wanted = size and string.format("%d bytes", size)
            or string.format("a text length of 0 to %d", MAX_TEXT)
        root:add_proto_expert_info(ex.size, string.format("%s of %d bytes: its type needs %s", name, length, wanted))
        pinfo.cols.info = summary .. " [size rule]"
        return length
    end
    if dissect[msg_type] then
        dissect[msg_type](tvb, root, function(text) pinfo.cols.info = summary .. " " .. text end)
    end
    return length
end

-- ---- Port preference ----
helm.prefs.port = Pref.uint("Master UDP port", 40000, "The UDP port the master listens on (masterPort)")

local registered_port = 0
local function register_port(port)
    local udp = DissectorTable.get("udp.port")
    if registered_port ~= 0 then udp:remove(registered_port, helm) end
    if port ~= 0 then udp:add(port, helm) end
    registered_port = port
end

function helm.prefs_changed()
    if helm.prefs.port ~= registered_port then register_port(helm.prefs.port) end
end

register_port(helm.prefs.port)
