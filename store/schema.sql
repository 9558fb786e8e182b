-- Tables of a new data folder, with their starting rows.
-- Types: varchar(n) is a text column of n GBK bytes (a Chinese character takes two),
-- real a number, date a calendar date stored as yyyy-mm-dd text, smallint a 16-bit integer,
-- text a character column without a fixed capacity.
-- Capacities that the screens do not fix are chosen generously here:
--   czb.dw, czb.dw1 10; sbpass.namea 16, passa 20, popedoma 8; srf.srf 60, a2 20, a4 10;
--   czbhz.tem1, czbhz1.tem1 4; czbhz.tem3, czbhz1.tem3 30;
--   sbbackup.filepath 255, filename 100, creatime 20.
-- srf.qhsoftnow is not created here: the start-up adds it when it is missing.
-- rzb, rzbtem and srf.zzrq, srf.zzly came with the change log: the store adds them to a ledger
-- made before (and a file without them is still one of ours).

create table sp1 (
    namea varchar(10), dj real, kc real, kc1 real, kc2 real, nowkc real, numsb real
);

create table sp5 (
    namea varchar(10), gg varchar(10), dw varchar(2), dw1 varchar(6), bl real
);

create table sp2 (
    khm varchar(30), numa varchar(10), jz varchar(2), begina date, enda date,
    a1 varchar(30), a2 real, bz varchar(120)
);

create table sp3 (
    khm varchar(30), numa varchar(10), datea date, lx varchar(4), a1 real
);

create table sp4 (
    khm varchar(30), numa varchar(10), datea date, lx varchar(4), a1 real
);

create table czb (
    khm varchar(30), numa varchar(10), datea date, namea varchar(10), dw varchar(10), dw1 varchar(10),
    a1 real, a2 real, a3 real, a4 real, a5 real, a6 real, a7 real, a8 real, a9 real, a10 real
);

create table czbnow (
    khm varchar(30), numa varchar(10), datea date, namea varchar(10), gg varchar(10),
    dw varchar(2), dw1 varchar(6), bl real, a1 real, b1 real, a2 real, a8 real
);

create table czb1 (
    khm varchar(30), numa varchar(10), namea varchar(10), a1 varchar(10), a2 real, a3 real, a4 real
);

create table czb2 (
    khm varchar(30), numa varchar(10), namea varchar(10), a1 varchar(10), a2 real, a3 real, a4 real
);

create table czbtem (
    khm varchar(30), numa varchar(10), datea date, namea varchar(10),
    a1 real, a2 real, a3 real, a4 real, a5 real, a6 real, a7 real, a8 real, a9 real, a10 real,
    dbegin date, dend date, dw varchar(2), dw1 varchar(10)
);

create table czbtem1 (
    khm varchar(30), numa varchar(10), datea date, namea varchar(10),
    a1 real, a2 real, a3 real, a4 real, a5 real, a6 real, a7 real, a8 real, a9 real, a10 real,
    dbegin date, dend date, dw varchar(2), dw1 varchar(10)
);

create table czbhz (
    khm varchar(30), numa varchar(10), a0 real,
    a1 real, a2 real, a3 real, a4 real, a5 real, a6 real, a7 real, a8 real,
    a9 real, a10 real, a11 real, a12 real, a13 real, a14 real, a15 real,
    b1 real, b2 real, b3 real, b4 real, b5 real, b6 real, b7 real, b8 real,
    b9 real, b10 real, b11 real, b12 real, b13 real, b14 real, b15 real,
    a20 real, a21 real, a22 real, a23 real,
    tem1 varchar(4), tem2 real, tem3 varchar(30), tem4 real
);

create table czbhz1 (
    khm varchar(30), numa varchar(10),
    a1 real, a2 real, a3 real, a4 real, a5 real, a6 real, a7 real, a8 real, a9 varchar(2),
    tem1 varchar(4), tem2 real, tem3 varchar(30), tem4 real
);

create table czbnow1 (
    khm varchar(30), numa varchar(10), datea date, namea varchar(10), gg varchar(10),
    dw varchar(2), dw1 varchar(6), bl real, a1 real, b1 real, a2 real, b2 real, a3 real, a4 real, a8 real
);

create table sbpass (
    namea varchar(16), passa varchar(20), popedoma varchar(8)
);

create table dwm (
    a1 varchar(50), a6 varchar(50), a2 varchar(30), a3 varchar(30), a4 varchar(50), a5 varchar(50),
    a8 varchar(50), a9 varchar(50), sp2 varchar(50), sp3 varchar(50), sp4 varchar(50), sp1 varchar(50),
    a7 varchar(50), namea varchar(32), indexa smallint, b1 real, b2 real
);

-- zzrq: the closing date, nothing dated on or before it changes; zzly: why it was last moved back.
create table srf (
    srf varchar(60), b1 real, b6 real, b5 real, b3 real, b7 real, b8 real, b9 real, b10 real,
    a2 varchar(20), a4 varchar(10), zzrq date, zzly varchar(100)
);

create table sbbackup (
    filepath varchar(255), filename varchar(100), creadate date, creatime varchar(20)
);

-- The change log: one row per change of a business row, written by the database in the changing
-- statement. sj "yyyy-mm-dd hh:mm:ss", yh the user, bm the table, cz 增加/修改/删除, numa the
-- contract where the row has one, yjl and xjl the row before and after as JSON.
create table rzb (
    sj varchar(19), yh text, bm varchar(10), cz varchar(4), numa text, yjl text, xjl text
);

-- Working table of the change log's window: the rows found, each change written out field by field.
create table rzbtem (
    sj varchar(19), yh text, bm text, cz varchar(4), numa text, nr text
);

-- The computations read movements and money one contract at a time. czb is written in bulk and
-- read whole, and goes without one.
create index czbnow_numa on czbnow(numa);
create index sp3_numa on sp3(numa);
create index sp4_numa on sp4(numa);
create index czb1_numa on czb1(numa);
create index czb2_numa on czb2(numa);

-- Starting rows. The default password is the single character "1".
insert into sbpass (namea, passa, popedoma) values ('管理员', '1', '管理');
insert into sbpass (namea, passa, popedoma) values ('录入员', '1', '录入');

insert into srf (srf, b1, b6, b5, b3, b7, b8, b9, b10, a2, a4)
    values ('不使用自动开启输入法', 0, 0, 1, 21, 0, 20, 20, 20, '已经使用', '0');

insert into dwm (a1, a6, a2, a3, a4, a5, a8, a9, sp2, sp3, sp4, sp1, a7, namea, indexa, b1, b2)
    values ('建筑材料租赁站', '租赁材料结算表', '经办人：', '客户签字：', '维修费结算单', '赔偿结算单',
            '租赁材料分布汇总表', '租赁费结算汇总表', '客户单位和合同号明细表', '押金明细表',
            '已交租金明细表', '材料规格明细表', null, null, 1, 0, 0);
