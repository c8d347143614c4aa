"""Everyday Vietnamese sentences: hand-written conversation plus templates for
numbers, dates, times, prices, phone numbers, places and daily life.

Generated text is already normalised (lower case, no punctuation, numbers read out).
"""
import random

from vntext import read_number, read_digits

SENTENCES = """
xin chào bạn khỏe không
chào anh hôm nay anh có khỏe không
cảm ơn bạn rất nhiều
không có gì đâu
xin lỗi tôi đến muộn
bạn tên là gì
tôi tên là lan còn bạn
rất vui được gặp bạn
bạn đến từ đâu
tôi đến từ hà nội
tôi sống ở thành phố hồ chí minh
hôm nay trời đẹp quá
trời sắp mưa rồi mang áo mưa đi
bây giờ là mấy giờ rồi
bạn có rảnh vào cuối tuần không
mình đi uống cà phê nhé
tôi muốn đặt một bàn cho bốn người
cho tôi xem thực đơn
món này giá bao nhiêu
tính tiền cho tôi với
em ơi cho anh một ly trà đá
tôi không ăn được cay
món phở ở đây rất ngon
bạn có thể nói chậm hơn được không
tôi không hiểu bạn nói gì
làm ơn nhắc lại một lần nữa
đường đến nhà ga đi như thế nào
đi thẳng rồi rẽ trái ở ngã tư
bệnh viện gần nhất ở đâu
tôi bị đau đầu từ tối hôm qua
con tôi bị sốt cao
gọi giúp tôi một chiếc xe taxi
tôi muốn đi sân bay
chuyến bay của tôi cất cánh lúc tám giờ
hôm qua tôi đi làm về muộn
sáng nay tôi dậy sớm để tập thể dục
chiều nay chúng ta họp lúc mấy giờ
cuộc họp bị hoãn sang tuần sau
anh gửi cho em tài liệu đó nhé
em đã nhận được thư của anh chưa
tôi sẽ gọi lại cho bạn sau
điện thoại của tôi sắp hết pin
mật khẩu wifi là gì
mẹ ơi con đói bụng quá
bố đi làm chưa về
cả nhà đang ăn cơm tối
cuối tuần này về quê thăm ông bà
chúc mừng sinh nhật bạn
chúc mừng năm mới an khang thịnh vượng
năm nay tết đến sớm
chúng tôi đi du lịch đà nẵng vào mùa hè
biển ở nha trang rất đẹp
tôi thích đọc sách vào buổi tối
bạn thích nghe loại nhạc nào
tối nay có phim gì hay không
đội tuyển việt nam thắng hai không
học sinh được nghỉ hè từ tháng sáu
cô giáo dặn chúng em làm bài tập
tôi đang học tiếng anh
bạn nói tiếng việt giỏi quá
giá xăng lại tăng rồi
chợ hôm nay đông người quá
rau này bao nhiêu một bó
cho tôi hai cân thịt bò
cái áo này có cỡ lớn hơn không
tôi muốn đổi cái này
cửa hàng mở cửa đến mấy giờ
ngân hàng đóng cửa vào chủ nhật
tôi cần rút tiền ở cây atm
xe buýt số mười tám dừng ở đâu
đường phố bị tắc vì trời mưa
cẩn thận kẻo ngã
đừng lo mọi chuyện sẽ ổn thôi
tôi nhớ bạn nhiều lắm
hẹn gặp lại bạn ngày mai
chúc bạn ngủ ngon
bạn đã ăn sáng chưa
tôi ăn rồi cảm ơn
hôm nay là thứ mấy
mai là thứ bảy được nghỉ
công việc dạo này thế nào
cũng bình thường thôi
anh ấy vừa mới chuyển nhà
chị ấy làm bác sĩ ở bệnh viện bạch mai
ông tôi năm nay tám mươi tuổi
bà ngoại nấu ăn rất ngon
em gái tôi đang học đại học
nhà tôi có ba phòng ngủ
phòng này hơi nóng bật điều hòa lên đi
tắt đèn giúp tôi với
mở cửa sổ cho thoáng
nước sôi rồi pha trà đi
trời lạnh nhớ mặc ấm
dự báo thời tiết nói mai có bão
lũ lụt ở miền trung rất nghiêm trọng
mọi người đã quyên góp giúp đỡ đồng bào
chính phủ vừa ban hành chính sách mới
thị trường chứng khoán giảm mạnh
giá vàng hôm nay tăng nhẹ
công ty chúng tôi đang tuyển nhân viên
bạn có kinh nghiệm làm việc bao lâu rồi
lương tháng này được trả chưa
tôi xin nghỉ phép ba ngày
anh có thể giúp tôi một việc được không
tất nhiên rồi bạn cứ nói
ý kiến của bạn thế nào
tôi đồng ý với bạn
tôi nghĩ là không nên
để tôi suy nghĩ thêm đã
thôi được rồi cứ làm như vậy đi
nhanh lên kẻo muộn
đợi tôi một chút
tôi đang trên đường tới
khoảng mười phút nữa tôi đến
bạn đang ở đâu đấy
tôi đang ở nhà
gửi cho tôi địa chỉ nhé
số nhà mười hai ngõ năm phố huế
ở đây có bán vé tàu không
một vé khứ hồi đi huế
tàu chạy lúc mấy giờ
bao lâu thì đến nơi
khách sạn này còn phòng trống không
tôi muốn trả phòng
bữa sáng được phục vụ lúc mấy giờ
hồ gươm nằm ở trung tâm hà nội
sông hồng chảy qua thủ đô
việt nam có năm mươi tư dân tộc
mùa thu hà nội rất đẹp
mùa hè ở sài gòn nóng và hay mưa
người dân ở đây rất thân thiện
tôi yêu việt nam
""".strip().split("\n")

NAMES = ["lan", "hùng", "minh", "hoa", "tuấn", "mai", "nam", "linh", "dũng", "hương", "quang", "thảo",
         "phương", "đức", "trang", "hải", "ngọc", "long", "yến", "khoa", "bình", "thủy", "sơn", "vy"]
KIN = ["anh", "chị", "em", "bạn", "ông", "bà", "cô", "chú", "bác", "mẹ", "bố", "con", "cháu"]
PLACES = ["hà nội", "hải phòng", "đà nẵng", "huế", "cần thơ", "nha trang", "vũng tàu", "đà lạt", "sa pa",
          "hạ long", "quảng ninh", "nghệ an", "thanh hóa", "bình dương", "đồng nai", "hội an", "phú quốc",
          "quy nhơn", "thái nguyên", "nam định", "lào cai", "cà mau", "bến tre", "long an"]
SPOTS = ["chợ", "trường", "bệnh viện", "nhà ga", "sân bay", "công viên", "siêu thị", "bưu điện", "ngân hàng",
         "nhà hàng", "quán cà phê", "văn phòng", "thư viện", "nhà sách", "rạp chiếu phim", "bến xe", "hiệu thuốc"]
FOODS = ["phở bò", "bún chả", "bánh mì", "cơm tấm", "bún bò huế", "gỏi cuốn", "chả giò", "bánh xèo",
         "cà phê sữa đá", "trà đá", "nước cam", "cháo gà", "mì quảng", "hủ tiếu", "xôi", "chè", "cơm rang"]
THINGS = ["điện thoại", "máy tính", "cái bàn", "cái ghế", "đôi giày", "chiếc áo", "cái túi", "quyển sách",
          "xe máy", "xe đạp", "cái ô", "chìa khóa", "ví tiền", "đồng hồ", "tủ lạnh", "máy giặt", "cái quạt"]
VERBS = ["đi", "đến", "về", "ghé", "qua"]
UNITS = ["cân", "quả", "cái", "chiếc", "hộp", "chai", "gói", "bó", "lít", "mét", "người", "phòng", "vé"]
WEEKDAYS = ["thứ hai", "thứ ba", "thứ tư", "thứ năm", "thứ sáu", "thứ bảy", "chủ nhật"]
PARTS = ["sáng", "trưa", "chiều", "tối", "đêm"]
FEEL = ["vui", "buồn", "mệt", "đói", "khát", "bận", "rảnh", "lo", "ốm", "khỏe"]
ADJ = ["đẹp", "ngon", "rẻ", "đắt", "xa", "gần", "to", "nhỏ", "mới", "cũ", "nóng", "lạnh", "sạch", "hay"]
WHEN = ["hôm nay", "ngày mai", "hôm qua", "tuần sau", "tuần trước", "tháng sau", "năm ngoái", "bây giờ",
        "tối nay", "sáng mai", "chiều nay", "cuối tuần"]


def money(r):
    n = r.choice([r.randint(1, 99) * 1000, r.randint(1, 999) * 1000, r.randint(1, 50) * 100000,
                  r.randint(1, 20) * 1000000, r.randint(10, 990) * 100])
    return read_number(n) + " " + r.choice(["đồng", "đồng", "nghìn đồng" if False else "đồng"])


def clock(r):
    h = r.randint(1, 12)
    m = r.choice([0, 5, 10, 15, 20, 25, 30, 35, 40, 45, 50, 55, r.randint(0, 59)])
    s = read_number(h) + " giờ"
    if m == 30 and r.random() < 0.4:
        s += " rưỡi"
    elif m >= 45 and r.random() < 0.3:
        return read_number(h % 12 + 1) + " giờ kém " + read_number(60 - m)
    elif m:
        s += " " + read_number(m) + (" phút" if r.random() < 0.6 else "")
    if r.random() < 0.5:
        s += " " + r.choice(PARTS)
    return s


def date(r):
    d, mth = r.randint(1, 31), r.randint(1, 12)
    s = "ngày " + read_number(d) + " tháng " + read_number(mth)
    if r.random() < 0.5:
        s += " năm " + read_number(r.randint(1945, 2035))
    return s


def phone(r):
    return read_digits("0" + str(r.choice([3, 5, 7, 8, 9])) + "".join(str(r.randint(0, 9)) for _ in range(8)))


def num_any(r):
    return read_number(r.choice([r.randint(0, 10), r.randint(11, 99), r.randint(100, 999), r.randint(1000, 99999),
                                 r.randint(100000, 9999999)]))


TEMPLATES = [
    lambda r: "bây giờ là %s" % clock(r),
    lambda r: "%s tôi có hẹn lúc %s" % (r.choice(WHEN), clock(r)),
    lambda r: "cuộc họp bắt đầu lúc %s %s" % (clock(r), r.choice(WEEKDAYS)),
    lambda r: "hôm nay là %s %s" % (r.choice(WEEKDAYS), date(r)),
    lambda r: "tôi sinh %s" % date(r),
    lambda r: "hạn nộp hồ sơ là %s" % date(r),
    lambda r: "cái này giá %s" % money(r),
    lambda r: "tổng cộng hết %s" % money(r),
    lambda r: "cho tôi %s %s %s" % (num_any(r) if r.random() < 0.3 else read_number(r.randint(1, 12)),
                                   r.choice(UNITS), r.choice(FOODS + THINGS)),
    lambda r: "số điện thoại của tôi là %s" % phone(r),
    lambda r: "%s gọi cho %s theo số %s nhé" % (r.choice(KIN), r.choice(KIN), phone(r)),
    lambda r: "nhà tôi ở số %s đường %s" % (read_number(r.randint(1, 300)), r.choice(NAMES + PLACES)),
    lambda r: "%s %s đi %s" % (r.choice(WHEN), r.choice(KIN + NAMES), r.choice(PLACES + SPOTS)),
    lambda r: "%s ơi %s có muốn ăn %s không" % (r.choice(KIN), r.choice(KIN), r.choice(FOODS)),
    lambda r: "tôi muốn %s %s" % (r.choice(VERBS), r.choice(SPOTS)),
    lambda r: "từ đây đến %s khoảng %s cây số" % (r.choice(PLACES + SPOTS), read_number(r.randint(1, 900))),
    lambda r: "%s %s có %s người" % (r.choice(["lớp tôi", "công ty", "gia đình tôi", "đội bóng", "nhóm này"]),
                                     r.choice(["hiện", "bây giờ", "tổng cộng", "chỉ"]), read_number(r.randint(2, 120))),
    lambda r: "nhiệt độ %s khoảng %s độ" % (r.choice(WHEN), read_number(r.randint(5, 40))),
    lambda r: "%s cảm thấy %s quá" % (r.choice(KIN + ["tôi", "mình"]), r.choice(FEEL)),
    lambda r: "%s này %s thật" % (r.choice(FOODS + THINGS + SPOTS), r.choice(ADJ)),
    lambda r: "%s đang ở %s" % (r.choice(NAMES + KIN), r.choice(PLACES + SPOTS)),
    lambda r: "chuyến tàu đi %s khởi hành lúc %s" % (r.choice(PLACES), clock(r)),
    lambda r: "tôi đã chờ %s %s rồi" % (read_number(r.randint(2, 59)), r.choice(["phút", "tiếng", "ngày", "tuần"])),
    lambda r: "năm nay %s %s tuổi" % (r.choice(KIN + NAMES), read_number(r.randint(1, 99))),
    lambda r: "%s mua %s hết %s" % (r.choice(KIN + NAMES), r.choice(THINGS + FOODS), money(r)),
    lambda r: "tôi cần %s %s trước %s" % (r.choice(["gửi", "xong", "nộp", "sửa", "đọc"]),
                                         r.choice(["báo cáo", "hồ sơ", "bài tập", "hợp đồng", "thư"]), clock(r)),
    lambda r: "điểm thi của %s là %s phẩy %s" % (r.choice(NAMES), read_number(r.randint(0, 10)),
                                                 read_number(r.choice([0, 25, 5, 75]))),
    lambda r: "dân số %s khoảng %s người" % (r.choice(PLACES), num_any(r)),
    lambda r: "phòng số %s ở tầng %s" % (read_number(r.randint(100, 999)), read_number(r.randint(1, 30))),
    lambda r: "tuyến xe buýt số %s đi %s" % (read_number(r.randint(1, 150)), r.choice(PLACES + SPOTS)),
    lambda r: "%s %s %s" % (r.choice(["nhắc tôi", "hẹn giờ", "đặt báo thức", "gọi tôi dậy"]),
                            r.choice(["lúc", "vào lúc"]), clock(r)),
    lambda r: "%s %s lúc %s" % (r.choice(["mở nhạc", "bật đèn", "tắt tivi", "bật điều hòa", "khóa cửa"]),
                                r.choice(WHEN), clock(r)),
    lambda r: "chúng ta gặp nhau ở %s %s nhé" % (r.choice(SPOTS), r.choice(WHEN)),
    lambda r: "%s và %s là bạn thân từ năm %s" % (r.choice(NAMES), r.choice(NAMES), read_number(r.randint(1980, 2024))),
    lambda r: "mã số của bạn là %s" % read_digits(str(r.randint(1000, 999999))),
    lambda r: "tỷ số hiện tại là %s %s" % (read_number(r.randint(0, 5)), read_number(r.randint(0, 5))),
    lambda r: "giảm giá %s phần trăm cho %s" % (read_number(r.randint(5, 70)), r.choice(THINGS + FOODS)),
]


def generate(n, seed, sentences=SENTENCES):
    r = random.Random(seed)
    out = []
    for _ in range(n):
        if r.random() < 0.12:
            s = r.choice(sentences)
            if r.random() < 0.5:
                s = r.choice(KIN + NAMES) + " ơi " + s
        else:
            s = r.choice(TEMPLATES)(r)
        out.append(" ".join(s.split()))
    return out
