-- Wireshark/tshark dissector of the ICSC protocol between the chassis
-- controller and the card (UDP port 5000; docs/icsc-protocol.md). The
-- build puts the card's name table (icsc_names, made by `icscctl names
-- --lua` from the object descriptions) in front of this file, in
-- build/native/wireshark/icsc.lua:
--   tshark -X lua_script:build/native/wireshark/icsc.lua -r FILE -O icsc
-- A datagram that breaks the layout is flagged as malformed, never read
-- past its end.

local names = icsc_names or { objects = {}, common = {}, events = {}, status = {}, types = {} }

local icsc = Proto("icsc", "ICSC card objects")

local ops = { [1] = "GET", [2] = "SET", [3] = "NEXT" }
local status_names = {}
for code, s in pairs(names.status) do
  status_names[code] = s[1] .. " (" .. s[2] .. ")"
end

local f = icsc.fields
f.version = ProtoField.uint8("icsc.version", "Version")
f.op = ProtoField.uint8("icsc.op", "Operation", base.HEX)
f.status = ProtoField.uint8("icsc.status", "Status", base.DEC, status_names)
f.count = ProtoField.uint8("icsc.count", "Cells")
f.request = ProtoField.uint32("icsc.request_id", "Request id")
f.oid = ProtoField.uint32("icsc.oid", "OID", base.HEX)
f.object = ProtoField.string("icsc.object", "Object")
f.column = ProtoField.string("icsc.column", "Column")
f.row = ProtoField.uint16("icsc.row", "Row or instance")
f.type = ProtoField.uint8("icsc.type", "Value type", base.DEC, names.types)
f.cell_status = ProtoField.uint8("icsc.cell_status", "Cell status", base.DEC, status_names)
f.length = ProtoField.uint16("icsc.length", "Value length")
f.value = ProtoField.string("icsc.value", "Value")

local malformed = ProtoExpert.new("icsc.malformed", "Malformed ICSC datagram",
                                  expert.group.MALFORMED, expert.severity.ERROR)
icsc.experts = { malformed }

local HEADER, CELL_HEADER, MAX_CELLS = 8, 8, 64
local fixed_size = { [1] = 1, [2] = 2, [3] = 4, [4] = 1, [5] = 2, [6] = 4, [7] = 1, [9] = 8 }

local function status_text(code)
  local s = names.status[code]
  return s and s[1] or ("status " .. code)
end

-- Object, column and row of an OID, named from the card's tables.
local function cell_name(oid)
  local kind = bit.rshift(oid, 30)
  local hi = bit.band(bit.rshift(oid, 24), 0x3F)
  local mid = bit.band(bit.rshift(oid, 16), 0xFF)
  local low = bit.band(oid, 0xFFFF)
  if kind == 2 then
    local o = names.objects[hi]
    local column = o and o.columns[mid] or ("column " .. mid)
    return (o and o.name or ("object " .. hi)), column, low, "row"
  elseif kind == 3 then
    local c = names.common[hi]
    local record = c and c.records[mid] or ("record " .. mid)
    return (c and ("common " .. c.name) or ("common " .. hi)), record, low, "instance"
  elseif kind == 1 then
    local t = bit.band(bit.rshift(oid, 22), 0x3F)
    local col = bit.band(bit.rshift(oid, 14), 0xFF)
    local e = names.events[t]
    local record = e and e.records[col] or ("column " .. col)
    return "event table " .. t, record, bit.band(oid, 0x3FFF), "row"
  end
  return "unassigned OID", "", 0, "row"
end

local function value_text(buf, vtype, len)
  if len == 0 then return nil end
  local v = buf(0, len)
  if vtype == 8 then return '"' .. v:string() .. '"' end
  if vtype == 7 then return v:uint() ~= 0 and "true" or "false" end
  if vtype == 9 then return tostring(v:uint64()) end
  if vtype >= 4 and vtype <= 6 then return tostring(v:int()) end
  return tostring(v:uint())
end

-- One cell at `off`; returns the offset after it, or nil and what is wrong.
local function dissect_cell(buf, off, index, tree)
  if buf:len() - off < CELL_HEADER then
    return nil, "cell " .. index .. " header runs past the end"
  end
  local oid = buf(off, 4):uint()
  local vtype = buf(off + 4, 1):uint()
  local cstatus = buf(off + 5, 1):uint()
  local len = buf(off + 6, 2):uint()
  if off + CELL_HEADER + len > buf:len() then
    return nil, "cell " .. index .. " value runs past the end"
  end
  local object, column, row, rowword = cell_name(oid)
  local value = nil
  local problem = nil
  if names.types[vtype] == nil then
    problem = "cell " .. index .. " has unknown value type " .. vtype
  elseif fixed_size[vtype] ~= nil and len ~= 0 and len ~= fixed_size[vtype] then
    problem = "cell " .. index .. " value length " .. len .. " does not fit " .. names.types[vtype]
  elseif (vtype == 0 and len ~= 0) then
    problem = "cell " .. index .. " has a value but no type"
  else
    value = value_text(buf(off + CELL_HEADER, len):tvb(), vtype, len)
  end
  local text = string.format("Cell %d: %s %s %d %s", index, object, rowword, row, column)
  if value ~= nil then text = text .. " = " .. value end
  if cstatus ~= 0 then text = text .. " [" .. status_text(cstatus) .. "]" end
  local t = tree:add(icsc, buf(off, CELL_HEADER + len), text)
  t:add(f.oid, buf(off, 4))
  t:add(f.object, buf(off, 4), object)
  t:add(f.column, buf(off, 4), column)
  t:add(f.row, buf(off + 2, 2), row)
  t:add(f.type, buf(off + 4, 1))
  t:add(f.cell_status, buf(off + 5, 1))
  t:add(f.length, buf(off + 6, 2))
  if value ~= nil then t:add(f.value, buf(off + CELL_HEADER, len), value) end
  if problem ~= nil then return nil, problem end
  return off + CELL_HEADER + len, nil, object .. " " .. column
end

local function dissect(buf, pinfo, tree)
  pinfo.cols.protocol = "ICSC"
  local root = tree:add(icsc, buf(), "ICSC")
  local len = buf:len()
  if len < HEADER then
    root:add_proto_expert_info(malformed, "shorter than the 8-byte header")
    pinfo.cols.info = "ICSC [Malformed: " .. len .. " bytes, shorter than a header]"
    return
  end
  local version = buf(0, 1):uint()
  local op = buf(1, 1):uint()
  local hstatus = buf(2, 1):uint()
  local count = buf(3, 1):uint()
  local id = buf(4, 4):uint()
  local answer = bit.band(op, 0x80) ~= 0
  local opname = (ops[bit.band(op, 0x7F)] or string.format("op 0x%02x", op)) ..
                 (answer and " answer" or " request")
  root:append_text(string.format(": %s, id %u, %d cells", opname, id, count))
  root:add(f.version, buf(0, 1))
  root:add(f.op, buf(1, 1)):append_text(" (" .. opname .. ")")
  root:add(f.status, buf(2, 1))
  root:add(f.count, buf(3, 1))
  root:add(f.request, buf(4, 4))
  local info = string.format("%s id=%u", opname, id)
  if answer then info = info .. " " .. status_text(hstatus) end
  local problem = nil
  if version ~= 1 then
    problem = "unsupported version " .. version
  elseif count > MAX_CELLS then
    problem = count .. " cells, more than " .. MAX_CELLS
  end
  local off, first = HEADER, nil
  for i = 1, count do
    if problem ~= nil then break end
    local next_off, why, name = dissect_cell(buf, off, i, root)
    if next_off == nil then
      problem = why
    else
      off = next_off
      first = first or name
    end
  end
  if problem == nil and off ~= len then
    problem = (len - off) .. " bytes after the last cell"
  end
  if first ~= nil then info = info .. ": " .. first .. (count > 1 and (" ... (" .. count .. " cells)") or "") end
  if problem ~= nil then
    root:add_proto_expert_info(malformed, problem)
    info = info .. " [Malformed: " .. problem .. "]"
  end
  pinfo.cols.info = info
end

function icsc.dissector(buf, pinfo, tree)
  local ok, err = pcall(dissect, buf, pinfo, tree)
  if not ok then
    tree:add_proto_expert_info(malformed, "cannot be read: " .. tostring(err))
    pinfo.cols.info = "ICSC [Malformed]"
  end
  return buf:len()
end

DissectorTable.get("udp.port"):add(5000, icsc)
