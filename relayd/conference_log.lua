#!lua name=scribly_conference_log
-- The conference log's atomic steps. Every key of conference C carries the
-- hash tag {C} and every function names all the keys it touches, so a step
-- never reads or writes outside what its caller declared.
--
-- Sessions: conf:{C}:sess maps a user to "epoch:lastSeq:node:secretHash".
-- Epochs come from one counter per conference (conf:{C}:epoch), shared by
-- sessions and owner claims, so an epoch is never handed out twice even after
-- a session's entry was removed.

-- A whole number of at most 14 digits, so that it stays exact in a Lua
-- number and prints back the same, or an error reply.
local function whole(s, what)
  if type(s) ~= 'string' or not s:match('^%d+$') or #s > 14 then
    error('ERR bad ' .. what)
  end
  return tonumber(s)
end

-- A user id, and its one spelling as a session field ("011" is not 11's).
local function userId(s)
  local n = whole(s, 'user')
  if n > 0xFFFFFFFF then error('ERR bad user') end
  return n, string.format('%d', n)
end

local function streamId(s, what)
  local ms, seq = (s or ''):match('^(%d+)-(%d+)$')
  if not ms or #ms > 14 or #seq > 14 then error('ERR bad ' .. what) end
  return tonumber(ms), tonumber(seq)
end

local function session(sess, user)
  local v = redis.call('HGET', sess, user)
  if not v then return nil end
  local epoch, last, node, secret = v:match('^(%d+):(%d+):([^:]*):(.*)$')
  return { epoch = tonumber(epoch), last = tonumber(last), node = node, secret = secret }
end

local function store(sess, user, s)
  redis.call('HSET', sess, user, s.epoch .. ':' .. s.last .. ':' .. s.node .. ':' .. s.secret)
end

-- The checks every message of a session passes before it takes a place in
-- the log: its epoch is current, its seq the next one, the log below its cap.
-- Returns the session, or the reply that ends the call.
local function admit(sess, inlog, user, epoch, seq, cap)
  local s = session(sess, user)
  if not s or s.epoch ~= epoch then return nil, { 'FENCED' } end
  if seq <= s.last then return nil, { 'DUP' } end
  if seq > s.last + 1 then return nil, { 'GAP', s.last } end
  if redis.call('XLEN', inlog) >= cap then return nil, { 'REFUSED', 'log full' } end
  return s
end

-- KEYS in, sess, owner; ARGV user, epoch, seq, message, cap
redis.register_function('append', function(keys, args)
  local user, field = userId(args[1])
  local epoch, seq, cap = whole(args[2], 'epoch'), whole(args[3], 'seq'), whole(args[5], 'cap')
  local s, answer = admit(keys[2], keys[1], field, epoch, seq, cap)
  if not s then return answer end
  local id = redis.call('XADD', keys[1], '*', 'u', user, 'q', seq, 'm', args[4])
  s.last = seq
  store(keys[2], field, s)
  return { 'OK', id, redis.call('EXISTS', keys[3]) }
end)

-- A range request (code 81), decided here so that a range is unique whatever
-- becomes of owners. A request past the allowance or the last id still uses
-- up its seq (NONE): it was handled and gets no range, as from the relay
-- server itself. REFUSED, as everywhere, means nothing was taken.
-- KEYS nextid, grants, in, sess; ARGV user, epoch, seq, size, max, last, cap
redis.register_function('grant', function(keys, args)
  local user, field = userId(args[1])
  local epoch, seq = whole(args[2], 'epoch'), whole(args[3], 'seq')
  local size, max, last = whole(args[4], 'size'), whole(args[5], 'max'), whole(args[6], 'last')
  local cap = whole(args[7], 'cap')
  if size < 1 or last > 0x7FFFFFFF then error('ERR bad range bounds') end
  local s, answer = admit(keys[4], keys[3], field, epoch, seq, cap)
  if not s then return answer end
  s.last = seq
  store(keys[4], field, s)
  if tonumber(redis.call('HGET', keys[2], field) or '0') >= max then
    return { 'NONE', 'allowance used up' }
  end
  redis.call('SET', keys[1], 0x10000, 'NX')
  local first = tonumber(redis.call('GET', keys[1]))
  if first > last or last - first < size - 1 then return { 'NONE', 'ids used up' } end
  redis.call('INCRBY', keys[1], size)
  redis.call('HINCRBY', keys[2], field, 1)
  local id = redis.call('XADD', keys[3], '*', 't', 'g', 'u', user, 'a', first, 'b', first + size)
  return { 'OK', id, first, first + size }
end)

-- A fresh session replaces any earlier one of the user (whose edge is fenced
-- by the new epoch) and enters the order as a join. A resume keeps the
-- session's place in the order: it must show the same secret, keeps lastSeq,
-- and writes nothing to the log, since the owner never saw the user leave.
-- KEYS sess, epoch, in; ARGV user, node, secretHash, resume (0/1), cap
redis.register_function('join', function(keys, args)
  local user, field = userId(args[1])
  local resume, cap = whole(args[4], 'resume'), whole(args[5], 'cap')
  if args[2]:find(':') then error('ERR bad node') end
  local s = session(keys[1], field)
  local id = ''
  if resume == 1 then
    if not s or s.secret ~= args[3] then return { 'REFUSED', 'no such session' } end
  else
    if redis.call('XLEN', keys[3]) >= cap then return { 'REFUSED', 'log full' } end
    s = { last = 0, secret = args[3] }
  end
  s.epoch = redis.call('INCR', keys[2])
  s.node = args[2]
  store(keys[1], field, s)
  if resume ~= 1 then id = redis.call('XADD', keys[3], '*', 't', 'j', 'u', user, 'e', s.epoch) end
  return { 'OK', id, s.epoch, s.last }
end)

-- KEYS sess, in; ARGV user, epoch, cap
redis.register_function('leave', function(keys, args)
  local user, field = userId(args[1])
  local epoch, cap = whole(args[2], 'epoch'), whole(args[3], 'cap')
  local s = session(keys[1], field)
  if not s or s.epoch ~= epoch then return { 'FENCED' } end
  if redis.call('XLEN', keys[2]) >= cap then return { 'REFUSED', 'log full' } end
  redis.call('HDEL', keys[1], field)
  return { 'OK', redis.call('XADD', keys[2], '*', 't', 'l', 'u', user, 'e', epoch) }
end)

-- KEYS owner, epoch; ARGV node, ttl in ms. Answers the new owner token.
redis.register_function('claim', function(keys, args)
  local ttl = whole(args[2], 'ttl')
  if ttl < 1 or args[1]:find(':') then error('ERR bad claim') end
  if redis.call('EXISTS', keys[1]) == 1 then return { 'FENCED' } end
  local token = args[1] .. ':' .. redis.call('INCR', keys[2])
  redis.call('SET', keys[1], token, 'PX', ttl)
  return { 'OK', token }
end)

-- KEYS owner; ARGV token, ttl in ms
redis.register_function('renew', function(keys, args)
  local ttl = whole(args[2], 'ttl')
  if ttl < 1 then error('ERR bad ttl') end
  if redis.call('GET', keys[1]) ~= args[1] then return { 'FENCED' } end
  redis.call('PEXPIRE', keys[1], ttl)
  return { 'OK' }
end)

-- Parts of the output of input entries, in order: each (src, part, parts,
-- deliveries). outpos holds the last part written ("ms-seq:part"), so a
-- retried call skips the parts already there; one call writes a whole batch
-- or, refused before any write, none of it. Output older than the retention
-- (by Redis's clock, which also stamps the ids) goes, and so does the oldest
-- past maxlen.
-- KEYS owner, outpos, out; ARGV token, maxlen, retention ms, then 4 per part
redis.register_function('emit', function(keys, args)
  local maxlen, retention = whole(args[2], 'maxlen'), whole(args[3], 'retention')
  if #args < 7 or (#args - 3) % 4 ~= 0 then error('ERR bad batch') end
  local batch = {}
  for i = 4, #args, 4 do
    local ms, seq = streamId(args[i], 'source')
    local part, parts = whole(args[i + 1], 'part'), whole(args[i + 2], 'parts')
    if part >= parts then error('ERR bad part') end
    batch[#batch + 1] = { ms = ms, seq = seq, part = part, parts = parts, src = args[i], d = args[i + 3] }
  end
  if redis.call('GET', keys[1]) ~= args[1] then return { 'FENCED' } end
  local pms, pseq, ppart
  local pos = redis.call('GET', keys[2])
  if pos then
    local pid, pp = pos:match('^(.*):(%d+)$')
    pms, pseq = streamId(pid, 'outpos')
    ppart = tonumber(pp)
  end
  local id
  for _, b in ipairs(batch) do
    if not pms or b.ms > pms or (b.ms == pms and (b.seq > pseq or (b.seq == pseq and b.part > ppart))) then
      id = redis.call('XADD', keys[3], 'MAXLEN', '~', maxlen, '*', 's', b.src, 'p', b.part,
        'n', b.parts, 'd', b.d)
      pms, pseq, ppart = b.ms, b.seq, b.part
      redis.call('SET', keys[2], b.src .. ':' .. b.part)
    end
  end
  if not id then return { 'DUP' } end
  local now = redis.call('TIME')
  local oldest = tonumber(now[1]) * 1000 + math.floor(tonumber(now[2]) / 1000) - retention
  if oldest > 0 then redis.call('XTRIM', keys[3], 'MINID', '~', oldest .. '-0') end
  return { 'OK', id }
end)

-- One chunk of the owner's next snapshot, appended to its list; the first
-- chunk drops whatever an owner that died before committing left there.
-- KEYS owner, chunks; ARGV token, first (0/1), bytes
redis.register_function('snapchunk', function(keys, args)
  if redis.call('GET', keys[1]) ~= args[1] then return { 'FENCED' } end
  if whole(args[2], 'first') == 1 then redis.call('DEL', keys[2]) end
  redis.call('RPUSH', keys[2], args[3])
  return { 'OK' }
end)

-- Makes the written chunks the snapshot: the header names them and the
-- input entry they cover up to, the previous chunks go, and so does the
-- input before that entry, which no owner needs any more. The header must
-- still be the one the owner loaded or wrote itself.
-- KEYS owner, snap, in, old chunks; ARGV token, n, in_id, size, old n
redis.register_function('snapcommit', function(keys, args)
  local n, size, old = whole(args[2], 'n'), whole(args[4], 'size'), whole(args[5], 'old n')
  streamId(args[3], 'in_id')
  if redis.call('GET', keys[1]) ~= args[1] then return { 'FENCED' } end
  if tonumber(redis.call('HGET', keys[2], 'n') or '0') ~= old or n <= old then
    return { 'FENCED' }
  end
  redis.call('HSET', keys[2], 'n', n, 'in_id', args[3], 'format', 1, 'size', size)
  redis.call('DEL', keys[4])
  redis.call('XTRIM', keys[3], 'MINID', args[3])
  return { 'OK' }
end)
