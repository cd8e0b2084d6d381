-- Demo data for the production department, loaded after schema.sql.
--
-- Everything is derived from current_date with a fixed integer hash (no
-- random()), so a load on a given day always produces the same rows and the
-- journal always has entries up to today.
--
--   psql -v ON_ERROR_STOP=1 -f db/demo.sql

\set ON_ERROR_STOP 1
-- setval() results are of no interest here
\o /dev/null

BEGIN;
SET LOCAL datestyle = 'ISO, DMY';

-- Integer mixing for reproducible pseudo-random choices (two Lehmer steps
-- over a linear combination of the inputs); result in [0, 2147483646].
CREATE FUNCTION pg_temp.h(a bigint, b bigint, c bigint) RETURNS bigint
LANGUAGE sql IMMUTABLE AS $$
    SELECT ((((abs(a * 73856093 + b * 19349663 + c * 83492791) % 2147483647) + 1)
             * 48271 % 2147483647) * 48271) % 2147483647
$$;

------------------------------------------------------------------------------
-- Nomenclature groups
------------------------------------------------------------------------------
INSERT INTO cmn_classifier.item
    (id, id_classifier, id_level, s_code, s_caption, s_description, b_excluded, d_excluded_date, id_parent)
VALUES
    (1, 1, 1, '01',    'Метизы собственного производства', 'Крепёжные изделия цеха метизов', 'false', NULL, NULL),
    (2, 1, 2, '01.01', 'Кронштейны', 'Кронштейны крепёжные, уголки',          'false', NULL, 1),
    (3, 1, 2, '01.02', 'Хомуты',     'Хомуты трубные и червячные',            'false', NULL, 1),
    (4, 1, 2, '01.03', 'Профили',    'Профили для гипсокартона и монтажа',    'false', NULL, 1),
    (5, 1, 2, '01.04', 'Саморезы',   'Саморезы по металлу и дереву',          'false', NULL, 1),
    (6, 1, 2, '01.05', 'Прокладки',  'Прокладки резиновые и паронитовые',     'false', NULL, 1);
SELECT setval('cmn_classifier.item_id_seq', (SELECT max(id) FROM cmn_classifier.item)::bigint);

------------------------------------------------------------------------------
-- Worker editor lookups
------------------------------------------------------------------------------
INSERT INTO cmn_department.department (id, id_branch, s_code, s_caption, s_description, id_parent) VALUES
    (1, 1, '100', 'Цех метизов',                'Производственный цех', NULL),
    (2, 1, '101', 'Участок штамповки',          NULL, 1),
    (3, 1, '102', 'Участок покраски',           NULL, 1),
    (4, 1, '103', 'Участок сборки и упаковки',  NULL, 1),
    (5, 1, '104', 'ОТК',                        'Отдел технического контроля', NULL);
SELECT setval('cmn_department.department_id_seq', 5);

INSERT INTO hrms_staffpos.staffpos (id, id_department, s_code, s_caption, d_begin, d_end, s_description) VALUES
    (1, 2, '01', 'Штамповщик',        DATE '2015-01-01', NULL, NULL),
    (2, 3, '02', 'Маляр',             DATE '2015-01-01', NULL, NULL),
    (3, 1, '03', 'Слесарь',           DATE '2015-01-01', NULL, NULL),
    (4, 1, '04', 'Сварщик',           DATE '2015-01-01', NULL, NULL),
    (5, 4, '05', 'Упаковщик',         DATE '2015-01-01', NULL, NULL),
    (6, 1, '06', 'Резчик металла',    DATE '2015-01-01', NULL, NULL),
    (7, 5, '07', 'Контролёр ОТК',     DATE '2015-01-01', NULL, NULL),
    (8, 1, '08', 'Мастер участка',    DATE '2015-01-01', NULL, NULL);
SELECT setval('hrms_staffpos.staffpos_id_seq', 8);

INSERT INTO adm_role.roles (id, s_name, s_caption, d_begin, d_end, b_active) VALUES
    (1, 'worker',  'Рабочий',        DATE '2015-01-01', NULL, 'true'),
    (2, 'foreman', 'Мастер',         DATE '2015-01-01', NULL, 'true'),
    (3, 'admin',   'Администратор',  DATE '2015-01-01', NULL, 'true'),
    (4, 'viewer',  'Просмотр',       DATE '2015-01-01', NULL, 'false');
SELECT setval('adm_role.roles_id_seq', 4);

------------------------------------------------------------------------------
-- Workers
------------------------------------------------------------------------------
-- The department's twenty workers: k is also the enterprise person id, the
-- worker number (s_code) is 10000 + k, and the department list uses the
-- worker number as its key, so a worker picked in the client is matched
-- through s_code. Worker 20 is booked in the journal by person id instead.
CREATE TEMP TABLE demo_worker (
    k       integer PRIMARY KEY,
    surname text, name text, patronymic text,
    pos     text,
    shift   integer,   -- usual shift
    vid     integer    -- usual operation type
) ON COMMIT DROP;
INSERT INTO demo_worker VALUES
    ( 1, 'Иванов',     'Сергей',   'Петрович',      'Штамповщик',      1,  3),
    ( 2, 'Петрова',    'Анна',     'Викторовна',    'Маляр',           1,  6),
    ( 3, 'Сидоров',    'Алексей',  'Николаевич',    'Слесарь',         1,  8),
    ( 4, 'Кузнецов',   'Дмитрий',  'Андреевич',     'Сварщик',         1,  5),
    ( 5, 'Смирнова',   'Елена',    'Сергеевна',     'Упаковщик',       1,  7),
    ( 6, 'Попов',      'Игорь',    'Владимирович',  'Штамповщик',      1,  3),
    ( 7, 'Васильев',   'Олег',     'Юрьевич',       'Резчик металла',  1,  1),
    ( 8, 'Новикова',   'Татьяна',  'Ивановна',      'Контролёр ОТК',   1, 10),
    ( 9, 'Морозов',    'Павел',    'Александрович', 'Слесарь',         2,  2),
    (10, 'Волков',     'Андрей',   'Михайлович',    'Слесарь',         2,  4),
    (11, 'Соколова',   'Ирина',    'Олеговна',      'Маляр',           2,  6),
    (12, 'Лебедев',    'Николай',  'Васильевич',    'Слесарь',         2,  4),
    (13, 'Козлов',     'Артём',    'Дмитриевич',    'Штамповщик',      2,  3),
    (14, 'Егорова',    'Наталья',  'Павловна',      'Упаковщик',       2,  7),
    (15, 'Павлов',     'Виктор',   'Геннадьевич',   'Сварщик',         3,  5),
    (16, 'Семенов',    'Роман',    'Игоревич',      'Резчик металла',  3,  1),
    (17, 'Голубева',   'Ольга',    'Николаевна',    'Контролёр ОТК',   3, 10),
    (18, 'Виноградов', 'Максим',   'Сергеевич',     'Слесарь',         3,  8),
    (19, 'Федоров',    'Юрий',     'Алексеевич',    'Слесарь',         3,  9),
    (20, 'Богданов',   'Кирилл',   'Евгеньевич',    'Штамповщик',      1,  3);

INSERT INTO cmn_contractor.person (id, s_caption, s_code)
SELECT k, surname || ' ' || left(name, 1) || '.' || left(patronymic, 1) || '.', (10000 + k)::text
  FROM demo_worker ORDER BY k;

-- The rest of the enterprise register (offices, other shops): never booked
-- in the journal, but they make the register large enough that the journal
-- reaches workers through its indexes, as it does in production. Their
-- numbers (20000 + id) cannot meet a department worker's number or id.
INSERT INTO cmn_contractor.person (id, s_caption, s_code)
SELECT g,
       (ARRAY['Александров','Борисов','Гаврилов','Давыдов','Ершов','Жуков','Зайцев','Ильин',
              'Калинин','Ларионов','Макаров','Никитин','Орлов','Поляков','Романов','Степанов',
              'Тихонов','Ульянов','Филиппов','Харитонов','Цветков','Чернов','Шубин','Яковлев'])
           [1 + pg_temp.h(g, 1, 0) % 24]
       || CASE WHEN pg_temp.h(g, 2, 0) % 3 = 0 THEN 'а' ELSE '' END
       || ' '
       || substr('АБВГДЕИКЛМНОПРСТЮЯ', 1 + (pg_temp.h(g, 3, 0) % 18)::int, 1) || '.'
       || substr('АБВГДЕИКЛМНОПРСТФЮ', 1 + (pg_temp.h(g, 4, 0) % 18)::int, 1) || '.',
       (20000 + g)::text
  FROM generate_series(21, 1500) g;
SELECT setval(pg_get_serial_sequence('cmn_contractor.person', 'id'),
              (SELECT max(id) FROM cmn_contractor.person));

INSERT INTO accounts_dep.person (id, fio, s_staffpos_hl)
SELECT 10000 + k, surname || ' ' || name || ' ' || patronymic, pos
  FROM demo_worker ORDER BY k;
SELECT setval(pg_get_serial_sequence('accounts_dep.person', 'id'),
              (SELECT max(id) FROM accounts_dep.person));

------------------------------------------------------------------------------
-- Products
------------------------------------------------------------------------------
-- massa is the boxes figure per piece the reports multiply quantities by.
INSERT INTO cmn_gds_and_srv.gds_and_srv (s_caption, s_description, id_msm_bs, massa, id_class_item)
SELECT marka, '', 6, massa, grp
  FROM (VALUES
    ( 1, 'КР-100',       0.020000, 2), ( 2, 'КР-150',       0.025000, 2),
    ( 3, 'КР-200',       0.033333, 2), ( 4, 'КР-250 У',     0.040000, 2),
    ( 5, 'КРУ-60х40',    0.010000, 2), ( 6, 'КР-75 оцинк.', 0.016667, 2),
    ( 7, 'ХМ-40',        0.010000, 3), ( 8, 'ХМ-60',        0.012500, 3),
    ( 9, 'ХМ-80',        0.016667, 3), (10, 'ХМ-110',       0.020000, 3),
    (11, 'ХЧ-25',        0.005000, 3), (12, 'ХМ-160',       0.025000, 3),
    (13, 'ПН-27х28',     0.083333, 4), (14, 'ПП-60х27',     0.100000, 4),
    (15, 'ПН-50х40',     0.100000, 4), (16, 'ПС-50х50',     0.125000, 4),
    (17, 'ПУ-25х25',     0.050000, 4), (18, 'ПМ-28х27',     0.083333, 4),
    (19, 'СМ 4,2х16',    0.001000, 5), (20, 'СМ 4,2х19',    0.001000, 5),
    (21, 'СМ 3,5х25',    0.001000, 5), (22, 'СМ 3,5х35',    0.002000, 5),
    (23, 'СМ 4,8х32',    0.002000, 5), (24, 'СК 3,9х19',    0.001000, 5),
    (25, 'ПР-12',        0.002000, 6), (26, 'ПР-16',        0.002000, 6),
    (27, 'ПР-20',        0.004000, 6), (28, 'ПР-25 ЭПДМ',   0.005000, 6),
    (29, 'ПР-32',        0.005000, 6), (30, 'ПРП-40',       0.010000, 6)
  ) AS p(n, marka, massa, grp)
 ORDER BY n;

-- Keys 7777 and above belong to auxiliary work; they have no group.
INSERT INTO cmn_gds_and_srv.gds_and_srv (id, s_caption, s_description, id_msm_bs, massa, id_class_item) VALUES
    (7777, 'Хоз. работы',       '', 6, 0, NULL),
    (7778, 'Уборка территории', '', 6, 0, NULL);
-- New products continue below the reserved range.
SELECT setval('cmn_gds_and_srv.gds_and_srv_id_seq',
              (SELECT max(id) FROM cmn_gds_and_srv.gds_and_srv WHERE id < 7777)::bigint);

------------------------------------------------------------------------------
-- Operation types
------------------------------------------------------------------------------
INSERT INTO accounts_dep.vid_oper (id, vid) VALUES
    ( 1, 'Резка'),
    ( 2, 'Гибка'),
    ( 3, 'Штамповка'),
    ( 4, 'Сверление'),
    ( 5, 'Сварка'),
    ( 6, 'Покраска порошковая'),
    ( 7, 'Упаковка'),
    ( 8, 'Зачистка'),
    ( 9, 'Рихтовка'),
    (10, 'Контроль'),
    (7777, 'Хоз. работы'),
    (7778, 'Уборка территории');
SELECT setval(pg_get_serial_sequence('accounts_dep.vid_oper', 'id'),
              (SELECT max(id) FROM accounts_dep.vid_oper WHERE id < 7777));

------------------------------------------------------------------------------
-- Priced operations and norms
------------------------------------------------------------------------------
-- Which operation types each group goes through, the base piece price of a
-- type, and the price factor of a group.
CREATE TEMP TABLE demo_group (grp integer PRIMARY KEY, vids integer[], factor numeric)
    ON COMMIT DROP;
INSERT INTO demo_group VALUES
    (2, ARRAY[1,2,3,4,5,6,7,8], 2.00),   -- Кронштейны
    (3, ARRAY[1,2,3,4,6,7,10],  1.20),   -- Хомуты
    (4, ARRAY[1,2,6,7,9,10],    3.00),   -- Профили
    (5, ARRAY[3,7,10],          0.12),   -- Саморезы
    (6, ARRAY[1,3,7,10],        0.40);   -- Прокладки

CREATE TEMP TABLE demo_vid (vid integer PRIMARY KEY, base numeric) ON COMMIT DROP;
INSERT INTO demo_vid VALUES
    (1, 1.20), (2, 1.85), (3, 0.95), (4, 1.40), (5, 6.50),
    (6, 3.20), (7, 0.35), (8, 0.80), (9, 1.10), (10, 0.25);

-- Painting, packing and inspection are done on finished products, the rest
-- on blanks; some pairs are priced for both kinds, a few not at all.
INSERT INTO accounts_dep.oper (vid, naimen, i_id, cena_new)
SELECT t.vid, k.naimen, g.id, round(v.base * dg.factor * CASE WHEN k.naimen = 0 THEN 1 ELSE 0.8 END, 2)
  FROM cmn_gds_and_srv.gds_and_srv g
  JOIN demo_group dg ON dg.grp = g.id_class_item
  CROSS JOIN LATERAL unnest(dg.vids) AS t(vid)
  JOIN demo_vid v ON v.vid = t.vid
  CROSS JOIN LATERAL (
      SELECT CASE WHEN t.vid IN (6, 7, 10) THEN 0 ELSE 1 END AS naimen
      UNION ALL
      SELECT CASE WHEN t.vid IN (6, 7, 10) THEN 1 ELSE 0 END
       WHERE pg_temp.h(g.id::bigint, t.vid, 5) % 4 = 0
  ) k
 WHERE g.id < 7777
   AND pg_temp.h(g.id::bigint, t.vid, 6) % 7 <> 0
 ORDER BY g.id, t.vid, k.naimen;

-- Auxiliary work: one priced operation per kind on its reserved product.
INSERT INTO accounts_dep.oper (id, vid, naimen, i_id, cena_new) VALUES
    (7777, 7777, 0, 7777, 150),
    (7778, 7778, 0, 7778, 180);
SELECT setval(pg_get_serial_sequence('accounts_dep.oper', 'id'),
              (SELECT max(id) FROM accounts_dep.oper WHERE id < 7777));

-- One to three norms per operation, the first the cheapest; the two newest
-- ordinary operations are left without norms (not offered in the journal).
INSERT INTO accounts_dep.norm (o_id, norma, prize, price)
SELECT o.id,
       round(8 * 220 / greatest(o.cena_new, 0.01) * (4 + r) / 5)::integer,
       (r - 1) * 5,
       (CASE r
            WHEN 1 THEN round(greatest(o.cena_new, 0.01), 2)
            WHEN 2 THEN round(greatest(o.cena_new, 0.01) * 1.1, CASE WHEN o.cena_new >= 1 THEN 1 ELSE 3 END)
            ELSE        round(greatest(o.cena_new, 0.01) * 1.2 + 0.0034, 4)
        END)::double precision
  FROM accounts_dep.oper o
  CROSS JOIN generate_series(1, 3) r
 WHERE o.id < 7777
   AND r <= 1 + pg_temp.h(o.id, 0, 8) % 3
   AND o.id NOT IN (SELECT id FROM accounts_dep.oper WHERE id < 7777 ORDER BY id DESC LIMIT 2)
 ORDER BY o.id, r;

-- The rates of auxiliary work per hour.
INSERT INTO accounts_dep.norm (o_id, norma, prize, price) VALUES
    (7777, 8, 0, 150.00),
    (7778, 8, 0, 180.00);

------------------------------------------------------------------------------
-- Journal: three months up to today
------------------------------------------------------------------------------
-- Priced operations that can be booked, with their base (lowest norm) price,
-- numbered within their type and overall.
CREATE TEMP TABLE demo_oper ON COMMIT DROP AS
SELECT o.id, o.vid, o.i_id,
       (SELECT min(n.price) FROM accounts_dep.norm n WHERE n.o_id = o.id) AS base,
       vo.vid ILIKE '%краска%' AS paint,
       row_number() OVER (PARTITION BY o.vid ORDER BY o.id) AS nv,
       count(*)     OVER (PARTITION BY o.vid)                AS cv,
       row_number() OVER (ORDER BY o.id)                     AS na,
       count(*)     OVER ()                                  AS ca
  FROM accounts_dep.oper o
  JOIN accounts_dep.vid_oper vo ON vo.id = o.vid
 WHERE o.id < 7777
   AND EXISTS (SELECT 1 FROM accounts_dep.norm n WHERE n.o_id = o.id);

-- Who worked when: most workers on most weekdays, a few on Saturdays,
-- rarely on Sundays; today always counts as a working day, and workers 1
-- and 20 are always in, so the day's journal is never empty.
CREATE TEMP TABLE demo_day ON COMMIT DROP AS
SELECT w.k, w.shift, w.vid AS usual_vid, c.data, c.data - DATE '2000-01-01' AS dn,
       extract(isodow FROM c.data) AS dow
  FROM demo_worker w
  CROSS JOIN (SELECT (date_trunc('month', current_date) - interval '3 months')::date AS first_day) f
  CROSS JOIN LATERAL (SELECT f.first_day + i AS data
                        FROM generate_series(0, current_date - f.first_day) i) c
 WHERE CASE
         WHEN c.data = current_date AND w.k IN (1, 20) THEN true
         WHEN c.data = current_date                    THEN pg_temp.h(w.k, c.data - DATE '2000-01-01', 1) % 100 < 85
         WHEN extract(isodow FROM c.data) <= 5         THEN pg_temp.h(w.k, c.data - DATE '2000-01-01', 1) % 100 < 88
         WHEN extract(isodow FROM c.data) = 6          THEN pg_temp.h(w.k, c.data - DATE '2000-01-01', 1) % 100 < 20
         ELSE                                               pg_temp.h(w.k, c.data - DATE '2000-01-01', 1) % 100 < 4
       END;

-- One to three entries in the usual shift (8 hours split between them) and
-- now and then 2 to 4 hours of overtime.
CREATE TEMP TABLE demo_slot ON COMMIT DROP AS
SELECT dd.*, s.j, s.smena, s.hours
  FROM demo_day dd
  CROSS JOIN LATERAL (SELECT 1 + pg_temp.h(dd.k, dd.dn, 2) % 3 AS n) c
  CROSS JOIN LATERAL (
      SELECT j, dd.shift AS smena,
             CASE c.n
                 WHEN 1 THEN 8
                 WHEN 2 THEN CASE j WHEN 1 THEN 4 + pg_temp.h(dd.k, dd.dn, 9) % 2
                                    ELSE 4 - pg_temp.h(dd.k, dd.dn, 9) % 2 END
                 ELSE CASE j WHEN 3 THEN 2 ELSE 3 END
             END AS hours
        FROM generate_series(1, c.n) j
      UNION ALL
      SELECT 4, 4, 2 + pg_temp.h(dd.k, dd.dn, 10) % 3
       WHERE dd.dow <= 5 AND pg_temp.h(dd.k, dd.dn, 3) % 100 < 8
  ) s;

-- The operation of a slot: mostly one of the worker's usual type, sometimes
-- any bookable operation.
CREATE TEMP TABLE demo_entry ON COMMIT DROP AS
SELECT sl.*, o.id AS o_id, o.i_id, o.base, o.paint
  FROM demo_slot sl
  CROSS JOIN LATERAL (SELECT pg_temp.h(sl.k, sl.dn, 20 + sl.j) AS hv) x
  JOIN demo_oper o
    ON CASE WHEN x.hv % 4 = 0 OR sl.smena = 4
            OR NOT EXISTS (SELECT 1 FROM demo_oper u WHERE u.vid = sl.usual_vid)
            THEN o.na = 1 + (x.hv / 4) % o.ca
            ELSE o.vid = sl.usual_vid AND o.nv = 1 + (x.hv / 4) % o.cv
       END;

INSERT INTO accounts_dep.smena
    (w_id, i_id, o_id, cena, kol_vo, brak, data, smena, color, time, ok, vvod,
     prize, id_doc, id_doc_item, f_gds_qty_use, id_gds_use, id_cons_use)
SELECT w_id, i_id, o_id, cena, kol_vo, brak, data, smena, color, time, ok, vvod,
       0, 0, 0, 0, 0, 0
  FROM (
-- one entry per worker, operation, product, date, shift and colour, as the
-- client keeps them
SELECT DISTINCT ON (w_id, o_id, i_id, data, smena, color) *
  FROM (
    SELECT CASE WHEN e.k = 20 THEN e.k ELSE 10000 + e.k END AS w_id,
           e.i_id, e.o_id,
           -- the lowest norm price, doubled on a day off, x1.2 in shift 3,
           -- x1.5 in overtime, to four decimals as the client stores it
           round((e.base * CASE WHEN e.dow >= 6 THEN 2 ELSE 1 END
                          * CASE e.smena WHEN 3 THEN 1.2 WHEN 4 THEN 1.5 ELSE 1 END)::numeric, 4)::double precision AS cena,
           q.kol_vo,
           CASE WHEN pg_temp.h(e.k, e.dn, 40 + e.j) % 10 < 7 THEN 0
                ELSE q.kol_vo * (1 + pg_temp.h(e.k, e.dn, 50 + e.j) % 4) / 100 END AS brak,
           e.data, e.smena,
           CASE WHEN e.paint
                THEN (ARRAY[0, 1, 1013, 7024, 9016, 3020, 5015])[1 + pg_temp.h(e.k, e.dn, 60 + e.j) % 7]
                ELSE 0 END AS color,
           e.hours AS time,
           CASE WHEN current_date - e.data >= 7
                     THEN CASE WHEN pg_temp.h(e.k, e.dn, 70 + e.j) % 25 = 0 THEN 'no'
                               WHEN pg_temp.h(e.k, e.dn, 80 + e.j) % 3 = 0 THEN 'да'
                               ELSE 'ok' END
                WHEN current_date - e.data >= 2
                     THEN CASE WHEN pg_temp.h(e.k, e.dn, 70 + e.j) % 3 = 0 THEN 'ok' ELSE 'no' END
                ELSE 'no'
           END AS ok,
           e.data::timestamp AS vvod
      FROM demo_entry e
      CROSS JOIN LATERAL (
          -- output such that a working hour earns about 220 at the base price
          SELECT greatest(1, round(e.hours * 220 / e.base
                                   * (80 + pg_temp.h(e.k, e.dn, 30 + e.j) % 41) / 100))::integer AS kol_vo
      ) q
  ) s
 ORDER BY w_id, o_id, i_id, data, smena, color, time DESC
  ) u
 ORDER BY data, smena, w_id, o_id, color;
SELECT setval(pg_get_serial_sequence('accounts_dep.smena', 'id'), (SELECT max(id) FROM accounts_dep.smena));

------------------------------------------------------------------------------
-- Hours timesheet, exactly as the journal implies
------------------------------------------------------------------------------
INSERT INTO accounts_dep.h_tabel
    (w_id, month, year, smena,
     d1, d2, d3, d4, d5, d6, d7, d8, d9, d10, d11, d12, d13, d14, d15, d16,
     d17, d18, d19, d20, d21, d22, d23, d24, d25, d26, d27, d28, d29, d30, d31)
SELECT w_id, extract(month FROM data), extract(year FROM data), smena,
       sum(time) FILTER (WHERE extract(day FROM data) = 1),
       sum(time) FILTER (WHERE extract(day FROM data) = 2),
       sum(time) FILTER (WHERE extract(day FROM data) = 3),
       sum(time) FILTER (WHERE extract(day FROM data) = 4),
       sum(time) FILTER (WHERE extract(day FROM data) = 5),
       sum(time) FILTER (WHERE extract(day FROM data) = 6),
       sum(time) FILTER (WHERE extract(day FROM data) = 7),
       sum(time) FILTER (WHERE extract(day FROM data) = 8),
       sum(time) FILTER (WHERE extract(day FROM data) = 9),
       sum(time) FILTER (WHERE extract(day FROM data) = 10),
       sum(time) FILTER (WHERE extract(day FROM data) = 11),
       sum(time) FILTER (WHERE extract(day FROM data) = 12),
       sum(time) FILTER (WHERE extract(day FROM data) = 13),
       sum(time) FILTER (WHERE extract(day FROM data) = 14),
       sum(time) FILTER (WHERE extract(day FROM data) = 15),
       sum(time) FILTER (WHERE extract(day FROM data) = 16),
       sum(time) FILTER (WHERE extract(day FROM data) = 17),
       sum(time) FILTER (WHERE extract(day FROM data) = 18),
       sum(time) FILTER (WHERE extract(day FROM data) = 19),
       sum(time) FILTER (WHERE extract(day FROM data) = 20),
       sum(time) FILTER (WHERE extract(day FROM data) = 21),
       sum(time) FILTER (WHERE extract(day FROM data) = 22),
       sum(time) FILTER (WHERE extract(day FROM data) = 23),
       sum(time) FILTER (WHERE extract(day FROM data) = 24),
       sum(time) FILTER (WHERE extract(day FROM data) = 25),
       sum(time) FILTER (WHERE extract(day FROM data) = 26),
       sum(time) FILTER (WHERE extract(day FROM data) = 27),
       sum(time) FILTER (WHERE extract(day FROM data) = 28),
       sum(time) FILTER (WHERE extract(day FROM data) = 29),
       sum(time) FILTER (WHERE extract(day FROM data) = 30),
       sum(time) FILTER (WHERE extract(day FROM data) = 31)
  FROM accounts_dep.smena
 GROUP BY w_id, extract(year FROM data), extract(month FROM data), smena
 ORDER BY extract(year FROM data), extract(month FROM data), smena, w_id;

------------------------------------------------------------------------------
-- Auxiliary work over the last three weeks (today included)
------------------------------------------------------------------------------
INSERT INTO accounts_dep.fatigue (id_nom, id_o, id_p, d_date, i_mnth, i_year, i_smena, cnt, price)
SELECT grp, kind, 10000 + w.k, dd.d, extract(month FROM dd.d), extract(year FROM dd.d),
       w.shift, 1 + pg_temp.h(w.k, dd.d - DATE '2000-01-01', 91) % 4,
       (SELECT min(n.price) FROM accounts_dep.norm n JOIN accounts_dep.oper o ON o.id = n.o_id
         WHERE o.vid = kind)::numeric(15,2)
  FROM demo_worker w
  CROSS JOIN LATERAL (SELECT current_date - i AS d FROM generate_series(0, 20) i) dd
  CROSS JOIN LATERAL (
      SELECT 2 + pg_temp.h(w.k, dd.d - DATE '2000-01-01', 92) % 5 AS grp,
             CASE WHEN pg_temp.h(w.k, dd.d - DATE '2000-01-01', 93) % 3 < 2 THEN 7777 ELSE 7778 END AS kind
  ) c
 WHERE (dd.d = current_date AND w.k IN (3, 9))
    OR (extract(isodow FROM dd.d) <= 5 AND pg_temp.h(w.k, dd.d - DATE '2000-01-01', 90) % 100 < 12)
 ORDER BY dd.d, w.k;

------------------------------------------------------------------------------
-- Version row
------------------------------------------------------------------------------
INSERT INTO accounts_dep.ver (d, t, delim) VALUES (20000101, 0, '.');

COMMIT;

ANALYZE accounts_dep.smena, accounts_dep.h_tabel, accounts_dep.oper, accounts_dep.norm, accounts_dep.fatigue, cmn_contractor.person, cmn_gds_and_srv.gds_and_srv;
\o
